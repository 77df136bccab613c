#include "QuorvantaCore/lang/TextFormat.h"

namespace quorvanta::core {

namespace {

struct Placeholder {
    std::size_t length;    // bytes from the "%" on
    std::size_t position;  // 1-based; 0 when unnumbered
    ArgKind kind;
};

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// The placeholder that starts at the "%" at `at`, if one does.
std::optional<Placeholder> placeholderAt(std::string_view s, std::size_t at) {
    std::size_t i = at + 1;
    std::size_t position = 0;
    std::size_t end = i;
    while (end < s.size() && end - i < 2 && isDigit(s[end])) ++end;
    if (end > i && end < s.size() && s[end] == '$' && s[i] != '0') {
        for (std::size_t k = i; k < end; ++k) position = position * 10 + static_cast<std::size_t>(s[k] - '0');
        i = end + 1;
    }
    const std::string_view rest = s.substr(i);
    if (rest.starts_with("@")) return Placeholder{i + 1 - at, position, ArgKind::text};
    if (rest.starts_with("lld")) return Placeholder{i + 3 - at, position, ArgKind::number};
    return std::nullopt;
}

// Walks `s`, handing its plain text (with "%%" already made "%") to `literal` and each
// placeholder, with its written form, to `placeholder`.
template <class Literal, class OnPlaceholder>
void scan(std::string_view s, Literal&& literal, OnPlaceholder&& placeholder) {
    std::size_t start = 0;
    std::size_t i = 0;
    while ((i = s.find('%', i)) != std::string_view::npos) {
        if (i + 1 < s.size() && s[i + 1] == '%') {
            literal(s.substr(start, i + 1 - start));
            i += 2;
            start = i;
        } else if (const auto p = placeholderAt(s, i)) {
            literal(s.substr(start, i - start));
            placeholder(*p, s.substr(i, p->length));
            i += p->length;
            start = i;
        } else {
            ++i;
        }
    }
    literal(s.substr(start));
}

}  // namespace

std::optional<std::vector<ArgKind>> placeholderKinds(std::string_view pattern) {
    std::vector<std::optional<ArgKind>> kinds;
    bool numbered = false;
    bool unnumbered = false;
    bool conflict = false;
    std::size_t next = 0;
    scan(
        pattern, [](std::string_view) {},
        [&](const Placeholder& p, std::string_view) {
            (p.position != 0 ? numbered : unnumbered) = true;
            const std::size_t index = (p.position != 0 ? p.position : ++next) - 1;
            if (kinds.size() <= index) kinds.resize(index + 1);
            if (kinds[index] && *kinds[index] != p.kind) conflict = true;
            kinds[index] = p.kind;
        });
    if (conflict || (numbered && unnumbered)) return std::nullopt;
    std::vector<ArgKind> result;
    result.reserve(kinds.size());
    for (const auto& kind : kinds) {
        if (!kind) return std::nullopt;
        result.push_back(*kind);
    }
    return result;
}

bool samePlaceholders(std::string_view key, std::string_view translation) {
    const auto expected = placeholderKinds(key);
    return expected && expected == placeholderKinds(translation);
}

std::string formatText(std::string_view pattern, std::span<const FormatArg> args) {
    std::string out;
    out.reserve(pattern.size());
    std::size_t next = 0;
    scan(
        pattern, [&](std::string_view piece) { out += piece; },
        [&](const Placeholder& p, std::string_view written) {
            const std::size_t position = p.position != 0 ? p.position : ++next;
            if (position <= args.size())
                out += args[position - 1].text;
            else
                out += written;
        });
    return out;
}

}  // namespace quorvanta::core
