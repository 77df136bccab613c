#include "QuorvantaCore/lang/PoReader.h"

#include "QuorvantaCore/lang/TextFormat.h"
#include "QuorvantaCore/text/Utf8.h"
#include "platform/fs/ReadWholeFile.h"

namespace quorvanta::core {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
    return s;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Appends the quoted string that `s` holds (blanks around it allowed, nothing else) to `out`;
// false when it is not one.
bool appendQuoted(std::string_view s, std::string& out) {
    s = trimmed(s);
    if (s.size() < 2 || s.front() != '"' || s.back() != '"') return false;
    s = s.substr(1, s.size() - 2);
    for (std::size_t i = 0; i < s.size(); ++i) {
        const char c = s[i];
        if (c == '"') return false;  // a quote inside must be escaped
        if (c != '\\') {
            out += c;
            continue;
        }
        if (++i == s.size()) return false;  // the closing quote was escaped
        switch (const char e = s[i]) {
            case 'n':
                out += '\n';
                break;
            case 't':
                out += '\t';
                break;
            case 'r':
                out += '\r';
                break;
            case 'a':
                out += '\a';
                break;
            case 'b':
                out += '\b';
                break;
            case 'f':
                out += '\f';
                break;
            case 'v':
                out += '\v';
                break;
            case '\\':
            case '"':
            case '\'':
            case '?':
                out += e;
                break;
            case 'x': {
                int value = 0;
                std::size_t digits = 0;
                while (digits < 2 && i + 1 < s.size() && hexValue(s[i + 1]) >= 0) {
                    value = value * 16 + hexValue(s[++i]);
                    ++digits;
                }
                if (digits == 0) return false;
                out += static_cast<char>(value);
                break;
            }
            default: {
                if (e < '0' || e > '7') return false;
                int value = e - '0';
                for (int k = 0; k < 2 && i + 1 < s.size() && s[i + 1] >= '0' && s[i + 1] <= '7'; ++k)
                    value = value * 8 + (s[++i] - '0');
                if (value > 0xFF) return false;
                out += static_cast<char>(value);
            }
        }
    }
    return true;
}

// One entry while it is read.
struct Entry {
    bool fuzzy = false;
    bool hasContext = false;
    bool hasId = false;
    bool plural = false;
    bool hasString = false;  // msgstr, or for a plural entry at least one msgstr[N]
    std::string id;
    std::string string;
    std::string ignored;  // msgctxt, msgid_plural and msgstr[N] texts

    bool started() const { return hasContext || hasId; }
};

class Parser {
public:
    std::optional<StringTable> run(std::string_view bytes) {
        if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
        while (!bytes.empty()) {
            const std::size_t end = bytes.find('\n');
            std::string_view line = bytes.substr(0, end);
            bytes = end == std::string_view::npos ? std::string_view{} : bytes.substr(end + 1);
            if (line.ends_with('\r')) line.remove_suffix(1);
            if (!readLine(trimmed(line))) return std::nullopt;
        }
        if (!finish()) return std::nullopt;
        return std::move(table_);
    }

private:
    bool readLine(std::string_view line) {
        if (line.empty()) return finish();
        if (line.front() == '#') return readComment(line);
        if (line.front() == '"') return field_ != nullptr && appendQuoted(line, *field_);

        std::size_t nameEnd = 0;
        while (nameEnd < line.size() && !isBlank(line[nameEnd]) && line[nameEnd] != '"') ++nameEnd;
        const std::string_view keyword = line.substr(0, nameEnd);
        const std::string_view rest = line.substr(nameEnd);

        if (keyword == "msgctxt") {
            if (entry_.hasId && !finish()) return false;
            if (entry_.hasContext) return false;
            entry_.hasContext = true;
            field_ = &entry_.ignored;
        } else if (keyword == "msgid") {
            if (entry_.hasId && !finish()) return false;
            entry_.hasId = true;
            field_ = &entry_.id;
        } else if (keyword == "msgid_plural") {
            if (!entry_.hasId || entry_.plural || entry_.hasString) return false;
            entry_.plural = true;
            field_ = &entry_.ignored;
        } else if (keyword == "msgstr") {
            if (!entry_.hasId || entry_.plural || entry_.hasString) return false;
            entry_.hasString = true;
            field_ = &entry_.string;
        } else if (keyword.starts_with("msgstr[") && keyword.ends_with(']') && keyword.size() > 8) {
            for (const char c : keyword.substr(7, keyword.size() - 8))
                if (c < '0' || c > '9') return false;
            if (!entry_.plural) return false;
            entry_.hasString = true;
            field_ = &entry_.ignored;
        } else {
            return false;
        }
        field_->clear();
        return appendQuoted(rest, *field_);
    }

    bool readComment(std::string_view line) {
        // A comment after an entry's strings opens the next entry.
        if (entry_.hasString && !finish()) return false;
        if (entry_.started()) return false;  // a comment between an entry's keywords
        if (line.starts_with("#,")) {
            std::string_view flags = line.substr(2);
            while (!flags.empty()) {
                const std::size_t comma = flags.find(',');
                if (trimmed(flags.substr(0, comma)) == "fuzzy") entry_.fuzzy = true;
                flags = comma == std::string_view::npos ? std::string_view{} : flags.substr(comma + 1);
            }
        }
        return true;
    }

    // Ends the entry being read (if any) and keeps its translation when it counts.
    bool finish() {
        field_ = nullptr;
        if (!entry_.started()) return true;  // flags wait for their entry
        Entry done = std::move(entry_);
        entry_ = Entry{};
        if (!done.hasId || !done.hasString) return false;  // msgctxt alone, or no msgstr
        const bool counts = !done.fuzzy && !done.hasContext && !done.plural && !done.id.empty() &&
                            !done.string.empty() && text::isValidUtf8(done.id) && text::isValidUtf8(done.string) &&
                            samePlaceholders(done.id, done.string);
        if (counts) table_.try_emplace(std::move(done.id), std::move(done.string));
        return true;
    }

    StringTable table_;
    Entry entry_;
    std::string* field_ = nullptr;  // the string that a continuation line extends
};

}  // namespace

std::optional<StringTable> readPo(std::string_view bytes) { return Parser{}.run(bytes); }

std::optional<StringTable> readPoFile(const std::filesystem::path& path) {
    const auto bytes = platform::readWholeFile(path, kMaxPoFileBytes);
    if (!bytes) return std::nullopt;
    return readPo(*bytes);
}

}  // namespace quorvanta::core
