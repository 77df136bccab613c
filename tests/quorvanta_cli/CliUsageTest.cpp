// Every usage text against the options its command reads. Each command of the table runs once in
// process, with arguments that take it past every option it reads; the names its run asked for
// must be the options its row lists, and its usage text must name exactly those not hidden.
#include "platform/events/EventSource.h"
#include "platform/events/RecordedSource.h"
#include "quorvanta_cli/Options.h"
#include "quorvanta_cli/Tool.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace quorvanta::cli {
namespace {

using Names = std::set<std::string, std::less<>>;

Names listed(std::span<const Option> options, bool shownOnly) {
    Names names;
    for (const Option& option : options)
        if (!shownOnly || option.shown != Shown::hidden) names.emplace(option.name);
    return names;
}

Names namedIn(const std::string& text) {
    static const std::regex option("--[a-z0-9][a-z0-9-]*");
    Names names;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), option); it != std::sregex_iterator(); ++it)
        names.insert(it->str());
    return names;
}

// Standard input reads from /dev/null while the object lives: mcp reads it to its end.
class EmptyInput {
public:
    EmptyInput() : saved_(::dup(STDIN_FILENO)) {
        const int null = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
        ::dup2(null, STDIN_FILENO);
        ::close(null);
    }
    ~EmptyInput() {
        ::dup2(saved_, STDIN_FILENO);
        ::close(saved_);
    }
    EmptyInput(const EmptyInput&) = delete;
    EmptyInput& operator=(const EmptyInput&) = delete;

private:
    int saved_;
};

// The process event source is a journal without events, so a snapshot saved here replays at once.
class JournalSource {
public:
    JournalSource() {
        platform::setProcessEventSource(std::make_shared<platform::RecordedSource>(platform::Journal{"journal-1", {}}));
    }
    ~JournalSource() { platform::setProcessEventSource(nullptr); }
    JournalSource(const JournalSource&) = delete;
    JournalSource& operator=(const JournalSource&) = delete;
};

TEST(CliUsage, UsageTextsNameTheOptionsTheirCommandsRead) {
    quorvanta::test::TempDir dir;
    dir.write("root/a.txt", "abc");
    dir.write("root/sub/b.mp3", "not audio");
    const std::string root = (dir / "root").string();
    const std::string snapshot = (dir / "s.idx").string();
    const std::string socket = (dir / "missing.sock").string();
    const JournalSource source;
    const EmptyInput input;

    // In table order: snap-save writes the snapshot the later commands load.
    const std::map<std::string, std::vector<std::string>, std::less<>> runs = {
        {"scan", {"scan", (dir / "missing").string(), "--threads", "2", "--mode", "fm"}},
        {"gen-tree", {"gen-tree", (dir / "QuorvantaTestTree").string(), "--files", "1"}},
        {"search",
         {"search", "a", "--volume", root, "--limit", "5", "--sort", "name", "--desc", "--junk", "--json", "--threads",
          "2"}},
        {"bench-search", {"bench-search", root, "--runs", "1", "--threads", "2"}},
        {"snap-save", {"snap-save", root, snapshot, "--threads", "2"}},
        {"snap-load", {"snap-load", snapshot, "--query", "a"}},
        {"snap-reconcile", {"snap-reconcile", root, snapshot, "--threads", "2"}},
        {"snap-fseuuid", {"snap-fseuuid", root}},
        {"audio-info", {"audio-info", (dir / "root/sub/b.mp3").string()}},
        {"audio-check", {"audio-check", root, "--limit", "2"}},
        {"audio-index", {"audio-index", root, "--threads", "2", "--query", "ext:mp3"}},
        {"dupes",
         {"dupes", "--snapshot", snapshot, "--volume", root, "--stages", "1", "--threads", "2", "--ext", "mp3", "--csv",
          (dir / "d.csv").string(), "--m3u", (dir / "d.m3u").string()}},
        {"snap-top", {"snap-top", snapshot, "--depth", "1"}},
        {"snap-replay", {"snap-replay", root, snapshot, "--save", "--threads", "2"}},
        {"api", {"api", "search", "a", "--limit", "3", "--socket", socket}},
        {"mcp", {"mcp", "--socket", socket}},
    };
    ASSERT_EQ(runs.size(), commands().size()) << "one run for every command";
    for (const Command& command : commands()) {
        const auto args = runs.find(command.word);
        ASSERT_NE(args, runs.end()) << "no run for " << command.word;
        std::ostringstream out, err;
        Cli cli{Args(args->second), out, err};
        const int status = run(cli);
        EXPECT_EQ(cli.args.asked(), listed(command.options, false))
            << command.word << " read other options than its row lists; status " << status << ", out:\n"
            << out.str() << "err:\n"
            << err.str();
        if (command.hasUsage)
            EXPECT_EQ(namedIn(usage(command.word)), listed(command.options, true))
                << command.word << "'s usage text: " << usage(command.word);
        else
            EXPECT_EQ(usage(command.word), "") << command.word;
    }
}

}  // namespace
}  // namespace quorvanta::cli
