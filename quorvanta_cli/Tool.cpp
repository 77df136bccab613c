#include "quorvanta_cli/Tool.h"

#include "quorvanta_cli/Commands.h"

#include <algorithm>
#include <array>
#include <vector>

namespace quorvanta::cli {
namespace {

// Usage lines put operands first: options are found anywhere, operands only by position.
constexpr std::array kCommands{
    Command{"scan", "usage: quorvanta-cli scan <path> [--threads N] [--mode bulk|fts|fm]", 1, scanCommand},
    Command{"gen-tree", "usage: quorvanta-cli gen-tree <path> --files N", 2, genTreeCommand},
    Command{"search",
            "usage: quorvanta-cli search \"<query>\" --volume <path> [--limit N] [--sort name|size|date] "
            "[--desc] [--junk] [--json]",
            3, searchCommand},
    Command{"bench-search", "", 6, benchSearchCommand},
    Command{"snap-save", "usage: quorvanta-cli snap-save <root> <file.idx>", 7, snapSaveCommand},
    Command{"snap-load", "usage: quorvanta-cli snap-load <file.idx> [--query q]", 8, snapLoadCommand},
    Command{"snap-reconcile", "", 0, snapReconcileCommand},
    Command{"snap-fseuuid", "", 0, snapFseuuidCommand},
    Command{"audio-info", "", 0, audioInfoCommand},
    Command{"audio-check", "usage: quorvanta-cli audio-check <dir> [--limit N]", 0, audioCheckCommand},
    Command{"audio-index", "usage: quorvanta-cli audio-index <root> [--threads N]", 0, audioIndexCommand},
    Command{"dupes", "usage: quorvanta-cli dupes (--snapshot <file.idx> | --volume <root>)... [--stages 1,2,3,4,5]", 0,
            dupesCommand},
    Command{"snap-top", "", 0, snapTopCommand},
    Command{"snap-replay", "usage: quorvanta-cli snap-replay <root> <file.idx> [--save]", 9, snapReplayCommand},
    Command{"api",
            "usage: quorvanta-cli api status|search \"<query>\" [--limit N] [--socket PATH]\n"
            "       quorvanta-cli mcp [--socket PATH]   (MCP server on stdio)",
            4, apiCommand},
    Command{"mcp", "", 5, mcpCommand},
};

const Command* find(std::string_view word) {
    for (const auto& command : kCommands)
        if (command.word == word) return &command;
    return nullptr;
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

void usageExit(Cli& cli, std::string_view word) {
    const Command* command = find(word);
    cli.out << (command ? command->usage : std::string_view{}) << '\n';
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
