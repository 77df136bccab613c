// The run context of quorvanta-cli and its dispatcher.
//
// One run is one pass: the argument list is captured once, its element 0 picks a row of the
// command table, and the row's routine runs against the run's output streams: results, usage
// texts and failure lines on `out`, diagnostics on `err`. A routine returns its exit status, or
// ends the whole run from deep inside with endRun() once it has printed its failure line.
#pragma once

#include "quorvanta_cli/Args.h"

#include <ostream>
#include <span>
#include <string>
#include <string_view>

namespace quorvanta::cli {

// Exit statuses of the whole tool.
enum ExitStatus : int {
    kSuccess = 0,       // also the general usage text
    kFailed = 1,        // a command's own usage text; a root or file that cannot be opened
    kRefused = 2,       // a query error; a gen-tree refusal
    kNotOk = 3,         // an api reply without "ok" true; the event log changed
    kNotDelivered = 4,  // an api request not delivered or answered; a replay timed out
    kDifferent = 5,     // a snapshot differs from a fresh scan
    kWatchLost = 6,     // a watched volume went missing or dropped its events
};

struct Cli {
    Args args;
    std::ostream& out;
    std::ostream& err;
};

// Thrown by endRun(); the dispatcher turns it into the run's exit status.
struct RunEnd {
    int status;
};
[[noreturn]] void endRun(int status);

// One row of the command table. A command's synopsis is "quorvanta-cli", its word, its operands,
// its options as they are shown, then three blanks and its note when it has one. Its usage text is
// "usage: " and its synopsis, followed on a second line (indented by seven blanks) by the synopsis
// of the command `alsoShows` names.
struct Command {
    std::string_view word;              // matched against element 0 by exact equality
    std::string_view operands{};        // the synopsis' text before the options
    std::span<const Option> options{};  // every option the command reads (Options.h)
    std::string_view note{};            // the synopsis' text after the options
    bool hasUsage = false;              // whether it has a usage text of its own
    std::string_view alsoShows{};       // the word of a command whose synopsis the usage text adds
    int overviewPosition = 0;           // its place in the general usage text, 0 when not listed there
    int (*run)(Cli&) = nullptr;         // null while the command is not built: its word is then unknown
};

// The command table, in matching order.
std::span<const Command> commands();

// "usage: quorvanta-cli scan|gen-tree|… ..."
std::string generalUsage();

// The usage text of the command named word, without a line feed; "" for one without a usage text
// or a word that names no command.
std::string usage(std::string_view word);

// Prints the command's own usage text on out and ends the run with status 1.
[[noreturn]] void usageExit(Cli& cli, std::string_view word);

// Runs the command named by element 0 and returns the exit status.
int run(Cli& cli);

}  // namespace quorvanta::cli
