// Splitting a search text into tokens. Double quotes toggle a literal run in which blanks, tabs
// and "|" are ordinary; they are not part of the text. A line break never separates tokens.
// Fills in QueryParser.h.
#include "QuorvantaCore/query/QueryParser.h"

#include "QuorvantaCore/text/Grapheme.h"

namespace quorvanta::core {

std::vector<QueryParser::Token> QueryParser::tokenize(std::string_view text) {
    std::vector<Token> tokens;
    Token current;
    bool inQuote = false;
    bool sawQuote = false;
    auto finish = [&] {
        if (!current.text.empty() || sawQuote) tokens.push_back(std::move(current));
        current = Token{};
        sawQuote = false;
    };
    text::forEachGrapheme(text, [&](std::string_view character) {
        if (character == "\"") {
            // A token is quoted when it starts with a quote: ‹""abc› is, ‹ab"c d"› is not.
            if (current.text.empty()) current.quoted = true;
            inQuote = !inQuote;
            sawQuote = true;
        } else if (!inQuote && (character == " " || character == "\t")) {
            finish();
        } else if (!inQuote && character == "|") {
            finish();
            tokens.push_back(Token{"|", false, true});
        } else {
            current.text += character;
        }
    });
    finish();
    return tokens;
}

}  // namespace quorvanta::core
