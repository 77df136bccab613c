#include "QuorvantaApp/ResultsTable/CellFormat.h"

#include "QuorvantaApp/model/volume/VolumeState.h"
#include "QuorvantaCore/index/VolumeIndex.h"
#include "platform/fs/PathText.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace quorvanta::app {

std::string CellFormat::hms(double seconds) {
    // 1e15 s keeps the hours within long long and is beyond any real play time.
    if (!std::isfinite(seconds) || seconds < 0 || seconds > 1e15) return {};
    const long long s = std::llround(seconds);
    char text[48];
    if (s < 3600)
        std::snprintf(text, sizeof text, "%lld:%02lld", s / 60, s % 60);
    else
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", s / 3600, s / 60 % 60, s % 60);
    return text;
}

CellFormat::Folder CellFormat::folder(const VolumeState& volume, std::uint32_t entry) {
    const core::VolumeIndex& index = *volume.index();
    const auto parent = index.parent(entry);
    Folder folder;
    if (parent) folder.full = index.path(*parent);
    if (volume.isInternal()) {
        folder.shown = volume.displayPath(folder.full);
    } else if (const auto below = platform::pathBelow(folder.full, volume.root())) {
        folder.shown = "/" + std::string(*below);
    } else {
        folder.shown = folder.full;
    }
    return folder;
}

std::string CellFormat::headTruncate(std::string_view text, double width, const TextWidth& measure) {
    if (measure(text) <= width) return std::string(text);
    std::vector<std::string_view> components;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = std::min(text.find('/', at), text.size());
        if (end > at) components.push_back(text.substr(at, end - at));
        at = end + 1;
    }
    if (components.empty()) return std::string(text);
    // Longest tail first: drop leading components until "…/" and the rest fit.
    for (std::size_t first = 1; first < components.size(); ++first) {
        std::string candidate = "…";
        for (std::size_t k = first; k < components.size(); ++k) candidate.append("/").append(components[k]);
        if (measure(candidate) <= width) return candidate;
    }
    return "…/" + std::string(components.back());
}

}  // namespace quorvanta::app
