#include "QuorvantaCore/query/ExtPatterns.h"

#include "QuorvantaCore/text/Case.h"
#include "QuorvantaCore/text/CharClass.h"

#include <algorithm>

namespace quorvanta::core {

ExtPatterns::Parsed ExtPatterns::parse(std::string_view text) {
    Parsed parsed;
    for (const std::string_view piece : text::splitAtWhiteSpace(text, ";,")) {
        std::string ext = text::lowercased(piece);
        if (ext.starts_with("*."))
            ext.erase(0, 2);
        else if (ext.starts_with('.'))
            ext.erase(0, 1);
        if (ext.empty() || ext.find_first_of("*?/\\:") != std::string::npos)
            parsed.rejected.emplace_back(piece);
        else if (std::find(parsed.exts.begin(), parsed.exts.end(), ext) == parsed.exts.end())
            parsed.exts.push_back(std::move(ext));
    }
    return parsed;
}

std::string ExtPatterns::format(const std::vector<std::string>& exts) {
    std::string text;
    for (const auto& ext : exts) {
        if (!text.empty()) text += ';';
        text += "*.";
        text += ext;
    }
    return text;
}

}  // namespace quorvanta::core
