// The rows of the search-syntax card: three sections of examples, each beside its explanation.
// An example is a query text shown exactly as the user types it and never translated; where it
// shows two forms they are separated by two spaces. Section titles and explanations are keys for
// core::tr, looked up when the card is built.
//
// Threads: constant tables; any thread.
#pragma once

#include <span>
#include <string_view>

namespace quorvanta::app {

struct SyntaxRow {
    std::string_view example;
    std::string_view explanation;  // the key for core::tr
};

struct SyntaxSection {
    std::string_view title;  // the key for core::tr
    std::span<const SyntaxRow> rows;
};

// Basics, Filters, Audio, in that order.
std::span<const SyntaxSection> syntaxSections();

}  // namespace quorvanta::app
