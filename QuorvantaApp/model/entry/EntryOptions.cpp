#include "QuorvantaApp/model/entry/EntryOptions.h"

#include "platform/fs/PathText.h"

#include <algorithm>

namespace quorvanta::app {

std::string absoluteRoot(std::string_view root, std::string_view currentFolder) {
    if (root.starts_with('/')) return platform::normalisedPath(root);
    return platform::normalisedPath(platform::joinPath(currentFolder, root));
}

EntryOptions EntryOptions::read(std::vector<std::string> args, std::string_view currentFolder) {
    EntryOptions o;
    o.args = std::move(args);
    const auto& a = o.args;
    const auto begin = a.size() > 1 ? a.begin() + 1 : a.end();
    const auto has = [&](std::string_view option) { return std::find(begin, a.end(), option) != a.end(); };
    // The value after the first occurrence of `option`, when one follows.
    const auto firstValue = [&](std::string_view option) -> std::optional<std::string> {
        const auto it = std::find(begin, a.end(), option);
        if (it == a.end() || it + 1 == a.end()) return std::nullopt;
        return *(it + 1);
    };

    o.persist = !has(kNoPersist) && !has(kSelfTest);
    for (auto it = begin; it != a.end(); ++it)
        if (*it == kRoot && it + 1 != a.end()) o.roots.push_back(absoluteRoot(*(it + 1), currentFolder));

    if (const auto value = firstValue(kShowColumns)) {
        ColumnSet ids;
        std::string_view rest = *value;
        while (true) {
            const auto comma = rest.find(',');
            const std::string_view piece = rest.substr(0, comma);
            if (!piece.empty()) ids.emplace(piece);
            if (comma == std::string_view::npos) break;
            rest.remove_prefix(comma + 1);
        }
        o.forcedColumns = std::move(ids);
    }
    o.kindStyle = firstValue(kKind);

    if (has(kStartupBench)) {
        o.mode = EntryMode::startupBench;
    } else if (const auto it = std::find(begin, a.end(), kSelfTest); it != a.end()) {
        o.mode = EntryMode::selfTest;
    }
    if (const auto it = std::find(begin, a.end(), kSelfTest); it != a.end()) o.queries.assign(it + 1, a.end());
    return o;
}

}  // namespace quorvanta::app
