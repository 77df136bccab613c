#include "quorvanta_cli/Tool.h"

#include "quorvanta_cli/Commands.h"
#include "quorvanta_cli/Options.h"

#include <algorithm>
#include <array>
#include <vector>

namespace quorvanta::cli {
namespace {

// Usage lines put operands first: options are found anywhere, operands only by position.
constexpr std::array kCommands{
    Command{.word = "scan",
            .operands = "<path>",
            .options = options::scan::all,
            .hasUsage = true,
            .overviewPosition = 1,
            .run = scanCommand},
    Command{.word = "gen-tree",
            .operands = "<path>",
            .options = options::genTree::all,
            .hasUsage = true,
            .overviewPosition = 2,
            .run = genTreeCommand},
    Command{.word = "search",
            .operands = "\"<query>\"",
            .options = options::search::all,
            .hasUsage = true,
            .overviewPosition = 3,
            .run = searchCommand},
    Command{
        .word = "bench-search", .options = options::benchSearch::all, .overviewPosition = 6, .run = benchSearchCommand},
    Command{.word = "snap-save",
            .operands = "<root> <file.idx>",
            .options = options::snapSave::all,
            .hasUsage = true,
            .overviewPosition = 7,
            .run = snapSaveCommand},
    Command{.word = "snap-load",
            .operands = "<file.idx>",
            .options = options::snapLoad::all,
            .hasUsage = true,
            .overviewPosition = 8,
            .run = snapLoadCommand},
    Command{.word = "snap-reconcile", .options = options::snapReconcile::all, .run = snapReconcileCommand},
    Command{.word = "snap-fseuuid", .run = snapFseuuidCommand},
    Command{.word = "audio-info", .run = audioInfoCommand},
    Command{.word = "audio-check",
            .operands = "<dir>",
            .options = options::audioCheck::all,
            .hasUsage = true,
            .run = audioCheckCommand},
    Command{.word = "audio-index",
            .operands = "<root>",
            .options = options::audioIndex::all,
            .hasUsage = true,
            .run = audioIndexCommand},
    Command{.word = "dupes", .options = options::dupes::all, .hasUsage = true, .run = dupesCommand},
    Command{.word = "snap-top", .options = options::snapTop::all, .run = snapTopCommand},
    Command{.word = "snap-replay",
            .operands = "<root> <file.idx>",
            .options = options::snapReplay::all,
            .hasUsage = true,
            .overviewPosition = 9,
            .run = snapReplayCommand},
    Command{.word = "api",
            .operands = "status|search \"<query>\"",
            .options = options::api::all,
            .hasUsage = true,
            .alsoShows = "mcp",
            .overviewPosition = 4,
            .run = apiCommand},
    Command{.word = "mcp",
            .options = options::mcp::all,
            .note = "(MCP server on stdio)",
            .overviewPosition = 5,
            .run = mcpCommand},
};

const Command* find(std::string_view word) {
    for (const auto& command : kCommands)
        if (command.word == word) return &command;
    return nullptr;
}

// "--name value", or "--name" for a switch.
std::string shown(const Option& option) {
    std::string text(option.name);
    if (!option.value.empty()) (text += ' ') += option.value;
    return text;
}

std::string synopsis(const Command& command) {
    std::string text = "quorvanta-cli ";
    text += command.word;
    if (!command.operands.empty()) (text += ' ') += command.operands;
    const std::span<const Option> list = command.options;
    for (std::size_t i = 0; i < list.size(); ++i) {
        switch (list[i].shown) {
            case Shown::optional:
                text += " [" + shown(list[i]) + "]";
                break;
            case Shown::required:
                text += " " + shown(list[i]);
                break;
            case Shown::choice: {
                text += " (" + shown(list[i]);
                for (; i + 1 < list.size() && list[i + 1].shown == Shown::choice; ++i)
                    text += " | " + shown(list[i + 1]);
                text += ")...";
                break;
            }
            case Shown::hidden:
                break;
        }
    }
    if (!command.note.empty()) (text += "   ") += command.note;
    return text;
}

}  // namespace

void endRun(int status) { throw RunEnd{status}; }

std::span<const Command> commands() { return kCommands; }

std::string generalUsage() {
    std::vector<const Command*> listed;
    for (const auto& command : kCommands)
        if (command.overviewPosition > 0) listed.push_back(&command);
    std::sort(listed.begin(), listed.end(),
              [](const Command* a, const Command* b) { return a->overviewPosition < b->overviewPosition; });
    std::string text = "usage: quorvanta-cli ";
    for (std::size_t i = 0; i < listed.size(); ++i) {
        if (i > 0) text += '|';
        text += listed[i]->word;
    }
    return text + " ...";
}

std::string usage(std::string_view word) {
    const Command* command = find(word);
    if (!command || !command->hasUsage) return "";
    std::string text = "usage: " + synopsis(*command);
    if (const Command* also = find(command->alsoShows)) text += "\n       " + synopsis(*also);
    return text;
}

void usageExit(Cli& cli, std::string_view word) {
    cli.out << usage(word) << '\n';
    endRun(kFailed);
}

int run(Cli& cli) {
    const auto word = cli.args.at(0);
    const Command* command = word ? find(*word) : nullptr;
    if (!command || !command->run) {
        cli.out << generalUsage() << '\n';
        return kSuccess;
    }
    try {
        return command->run(cli);
    } catch (const RunEnd& end) {
        return end.status;
    }
}

}  // namespace quorvanta::cli
