// The token dispatch of the search language: plain words, negation, OR groups, the case and
// regex modes, and the filter keys with their aliases. Filter values are read by the value
// syntaxes (SizeValue.cpp, DateValue.cpp, AudioNumberValue.cpp).
#include "QuorvantaCore/query/QueryParser.h"
#include "QuorvantaCore/query/ValueSyntax.h"

#include "QuorvantaCore/text/Case.h"
#include "QuorvantaCore/text/Grapheme.h"

#include <algorithm>
#include <string>
#include <unordered_map>

namespace quorvanta::core {
namespace {

using Field = AudioCond::Field;

enum class Key {
    caseOn,
    caseOff,
    regex,
    ext,
    size,
    date,
    path,
    folder,
    file,
    junk,
    content,
    audioNumber,
    lossless,
    audioText,
};

struct Keyword {
    Key key;
    Field field = Field::bitrate;  // audio keys only
};

// Keys are compared lower-cased; several aliases name one filter.
const std::unordered_map<std::string_view, Keyword>& keywords() {
    static const std::unordered_map<std::string_view, Keyword> table = {
        {"case", {Key::caseOn}},
        {"nocase", {Key::caseOff}},
        {"regex", {Key::regex}},
        {"ext", {Key::ext}},
        {"size", {Key::size}},
        {"dm", {Key::date}},
        {"datemodified", {Key::date}},
        {"path", {Key::path}},
        {"in", {Key::path}},
        {"folder", {Key::folder}},
        {"file", {Key::file}},
        {"junk", {Key::junk}},
        {"content", {Key::content}},
        {"bitrate", {Key::audioNumber, Field::bitrate}},
        {"br", {Key::audioNumber, Field::bitrate}},
        {"bpm", {Key::audioNumber, Field::bpm}},
        {"dur", {Key::audioNumber, Field::dur}},
        {"duration", {Key::audioNumber, Field::dur}},
        {"length", {Key::audioNumber, Field::dur}},
        {"year", {Key::audioNumber, Field::year}},
        {"samplerate", {Key::audioNumber, Field::rate}},
        {"rate", {Key::audioNumber, Field::rate}},
        {"sr", {Key::audioNumber, Field::rate}},
        {"bits", {Key::audioNumber, Field::bits}},
        {"bitdepth", {Key::audioNumber, Field::bits}},
        {"depth", {Key::audioNumber, Field::bits}},
        {"channels", {Key::audioNumber, Field::channels}},
        {"ch", {Key::audioNumber, Field::channels}},
        {"lossless", {Key::lossless, Field::lossless}},
        {"artist", {Key::audioText, Field::artist}},
        {"title", {Key::audioText, Field::title}},
        {"album", {Key::audioText, Field::album}},
        {"genre", {Key::audioText, Field::genre}},
        {"key", {Key::audioText, Field::key}},
        {"codec", {Key::audioText, Field::codec}},
    };
    return table;
}

[[noreturn]] void needsValue(std::string_view word) {
    throw QueryError::invalid(std::string(word) + ": needs a value");
}

// The ext: filter's own list rule: pieces between ";" and ",", lower-cased, dots stripped at
// both ends (a piece of dots alone stays as an empty extension).
std::vector<std::string> extList(std::string_view value) {
    std::vector<std::string> exts;
    for (const std::string_view piece : value_syntax::pieces(value, ";,")) {
        std::string ext = text::lowercased(piece);
        const auto first = ext.find_first_not_of('.');
        ext = first == std::string::npos ? std::string() : ext.substr(first, ext.find_last_not_of('.') + 1 - first);
        exts.push_back(std::move(ext));
    }
    if (exts.empty()) needsValue("ext");
    return exts;
}

bool losslessFlag(std::string_view value) {
    const std::string word = text::lowercased(value);
    if (word.empty() || word == "yes" || word == "true" || word == "1" || word == "ja") return true;
    if (word == "no" || word == "false" || word == "0" || word == "nein") return false;
    throw QueryError::invalid("lossless: " + std::string(value));
}

// Where the first ":" that is a character of its own starts; npos without one.
std::size_t keySeparator(std::string_view text) {
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = text::graphemeEnd(text, at);
        if (end == at + 1 && text[at] == ':') return at;
        at = end;
    }
    return std::string_view::npos;
}

}  // namespace

// One parse: the groups so far and the modes in force.
class QueryParser::Parse {
public:
    Parse(std::chrono::system_clock::time_point now, const Calendar& calendar) : now_(now), calendar_(calendar) {}

    void orSeparator() {
        if (!groups_.back().empty()) groups_.emplace_back();
    }

    void token(const Token& token) {
        if (token.quoted) return add(false, namePred(token.text, false));
        std::string_view body = token.text;
        bool neg = false;
        if (body.size() > 1 && body[0] == '!' && text::graphemeEnd(body, 0) == 1) {
            neg = true;
            body.remove_prefix(1);
        }
        const std::size_t colon = keySeparator(body);
        const auto keyword = colon == std::string_view::npos ? keywords().end()
                                                             : keywords().find(text::lowercased(body.substr(0, colon)));
        if (keyword == keywords().end()) return add(neg, namePred(body, regexMode_));
        filter(keyword->second, keyword->first, body.substr(colon + 1), neg);
    }

    Query finish() {
        std::erase_if(groups_, [](const auto& group) { return group.empty(); });
        return Query{std::move(groups_)};
    }

private:
    void add(bool neg, Pred pred) { groups_.back().push_back(Term{neg, std::move(pred), caseMode_}); }

    void filter(const Keyword& keyword, std::string_view word, std::string_view value, bool neg) {
        switch (keyword.key) {
            case Key::caseOn:
            case Key::caseOff:
                caseMode_ = keyword.key == Key::caseOn;
                if (!value.empty()) add(neg, Pred::Name{std::string(value)});
                return;
            case Key::regex:
                if (value.empty())
                    regexMode_ = true;
                else
                    add(neg, Pred::Regex{std::string(value)});
                return;
            case Key::ext:
                return add(neg, Pred::Ext{extList(value)});
            case Key::size:
                return add(neg, Pred::Size{parseSize(value)});
            case Key::date:
                return add(neg, Pred::Date{parseDate(value, now_, calendar_)});
            case Key::path:
                if (value.empty()) needsValue("path");
                return add(neg, Pred::Path{std::string(value)});
            case Key::folder:
            case Key::file:
                add(neg, Pred::Kind{keyword.key == Key::folder});
                if (!value.empty()) add(neg, Pred::Name{std::string(value)});
                return;
            case Key::junk:
                return add(neg, Pred::Junk{});
            case Key::content:
                if (value.empty()) needsValue("content");
                return add(neg, Pred::Content{std::string(value)});
            case Key::audioNumber:
                return add(neg, Pred::Audio{audioNumber(keyword.field, value)});
            case Key::lossless: {
                AudioCond cond(Field::lossless);
                cond.flag = losslessFlag(value);
                return add(neg, Pred::Audio{std::move(cond)});
            }
            case Key::audioText: {
                if (value.empty()) needsValue(word);
                AudioCond cond(keyword.field);
                cond.text = std::string(value);
                return add(neg, Pred::Audio{std::move(cond)});
            }
        }
    }

    std::chrono::system_clock::time_point now_;
    const Calendar& calendar_;
    std::vector<std::vector<Term>> groups_ = std::vector<std::vector<Term>>(1);  // one empty group
    bool caseMode_ = false;
    bool regexMode_ = false;
};

Pred QueryParser::namePred(std::string_view text, bool regex) {
    if (regex) return Pred::Regex{std::string(text)};
    if (text.find_first_of("*?") != std::string_view::npos) return Pred::Glob{std::string(text)};
    return Pred::Name{std::string(text)};
}

Query QueryParser::parse(std::string_view text, std::chrono::system_clock::time_point now, const Calendar& calendar) {
    Parse parse(now, calendar);
    for (const Token& token : tokenize(text)) {
        if (token.isOr)
            parse.orSeparator();
        else
            parse.token(token);
    }
    return parse.finish();
}

}  // namespace quorvanta::core
