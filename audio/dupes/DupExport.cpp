#include "audio/dupes/DupExport.h"

#include "QuorvantaCore/util/Csv.h"

#include <charconv>
#include <ctime>

namespace quorvanta::audio::DupExport {

namespace {

// "%.1f" without a locale: never a decimal comma.
std::string oneDecimal(double value) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 1);
    return std::string(buffer, result.ptr);
}

// Unix seconds as "YYYY-MM-DDTHH:MM:SSZ" in UTC.
std::string isoUTC(std::uint32_t seconds) {
    const std::time_t t = seconds;
    std::tm parts{};
    gmtime_r(&t, &parts);
    char buffer[32];
    const std::size_t n = std::strftime(buffer, sizeof buffer, "%Y-%m-%dT%H:%M:%SZ", &parts);
    return std::string(buffer, n);
}

bool hasLineBreak(std::string_view text) { return text.find_first_of("\r\n") != std::string_view::npos; }

// The "#EXTINF" label: "artist - title" of the texts present, else the file's name.
std::string m3uLabel(const DupMember& member) {
    std::string label;
    if (member.meta) {
        for (const std::string* part : {&member.meta->artist, &member.meta->title}) {
            if (part->empty()) continue;
            if (!label.empty()) label += " - ";
            label += *part;
        }
    }
    if (label.empty()) {
        const std::size_t slash = member.path.rfind('/');
        label = slash == std::string::npos ? member.path : member.path.substr(slash + 1);
    }
    for (char& c : label) {
        if (c == '\r' || c == '\n') c = ' ';
    }
    return label;
}

bool listed(Which which, bool isKeeper) {
    switch (which) {
        case Which::surplus:
            return !isKeeper;
        case Which::keep:
            return isKeeper;
        case Which::all:
            return true;
    }
    return false;
}

}  // namespace

std::string csv(const std::vector<DupGroup>& groups) {
    std::string out = kCsvHeader;
    for (const DupGroup& group : groups) {
        for (std::size_t i = 0; i < group.members.size(); ++i) {
            const DupMember& m = group.members[i];
            out += std::to_string(group.id);
            out += ',';
            out += rawValue(group.kind);
            out += ',';
            if (group.confirmed) out += *group.confirmed ? "yes" : "no";
            out += ',';
            out += static_cast<std::int64_t>(i) == group.keep ? "keep" : "surplus";
            out += ',';
            core::appendCsvQuoted(out, m.path);
            out += ',';
            out += std::to_string(m.size);
            out += ',';
            if (m.meta) {
                out += core::label(m.meta->codec);
                out += ',';
                out += std::to_string(m.meta->bitrateKbps);
                out += ',';
                out += oneDecimal(m.meta->durationMs / 1000.0);
            } else {
                out += ",,";
            }
            out += ',';
            core::appendCsvQuoted(out, m.meta ? m.meta->artist : std::string_view{});
            out += ',';
            core::appendCsvQuoted(out, m.meta ? m.meta->title : std::string_view{});
            out += ',';
            out += isoUTC(m.mtime);
            out += '\n';
        }
    }
    return out;
}

std::string m3u(const std::vector<DupGroup>& groups, Which which) {
    std::string out = "#EXTM3U\n";
    for (const DupGroup& group : groups) {
        for (std::size_t i = 0; i < group.members.size(); ++i) {
            const DupMember& m = group.members[i];
            if (!listed(which, static_cast<std::int64_t>(i) == group.keep) || hasLineBreak(m.path)) continue;
            // 64-bit: the largest stored duration, 4,294,967,295 ms, would overflow 32 bits.
            const std::int64_t seconds = m.meta ? (std::int64_t{m.meta->durationMs} + 500) / 1000 : -1;
            out += "#EXTINF:";
            out += std::to_string(seconds);
            out += ',';
            out += m3uLabel(m);
            out += '\n';
            out += m.path;
            out += '\n';
        }
    }
    return out;
}

std::uint64_t surplusBytes(const std::vector<DupGroup>& groups) {
    std::uint64_t sum = 0;
    for (const DupGroup& group : groups) sum += group.surplusBytes();
    return sum;
}

}  // namespace quorvanta::audio::DupExport
