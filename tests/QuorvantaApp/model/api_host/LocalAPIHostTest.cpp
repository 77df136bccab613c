// The local API host: the switch and its socket, start failures as the user reads them, the
// volumes a request sees (hidden ones, catalogs, scanning ones, model order), independence from
// the application's own search, requests while the main queue shuts down, and the command-line
// tool against the host. Real sockets live in the temporary data folder; the volumes are scanned
// temporary trees; the test's thread is the main thread and runs the main queue while a client
// thread waits for its reply.
#include "QuorvantaApp/model/api_host/LocalAPIHost.h"

#include "QuorvantaCore/api/LocalAPIClient.h"
#include "QuorvantaCore/json/JSONText.h"
#include "tests/QuorvantaApp/model/app/ModelTestSupport.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/RunProgram.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <fstream>
#include <thread>

namespace quorvanta::app::test {
namespace {

using core::LocalAPIClient::send;

const std::string kStatus = R"({"op":"status"})";
const std::string kRemix = R"({"op":"search","query":"remix"})";
const std::string kFailure = R"({"ok":false})";

// Runs `body` on a client thread while this thread, the main thread, runs the main queue's tasks;
// gives what `body` gave.
template <class F>
auto whileMainRuns(platform::ManualMainQueue& main, F body) {
    using Result = decltype(body());
    std::optional<Result> result;
    std::exception_ptr failure;
    std::atomic<bool> done{false};
    std::thread client([&] {
        try {
            result.emplace(body());
        } catch (...) {
            failure = std::current_exception();
        }
        done = true;
        main.post([] {});  // wakes the main thread to see `done`
    });
    main.waitUntil([&] { return done.load(); });
    client.join();
    if (failure) std::rethrow_exception(failure);
    return std::move(*result);
}

nlohmann::json parsed(const std::string& reply) {
    const auto value = core::parseJSONStrict(reply);
    EXPECT_TRUE(value && value->is_object()) << reply;
    return value ? *value : nlohmann::json::object();
}

// A model whose volumes are scanned temporary trees, and a host serving it from the data folder.
class HostWorld : public ModelWorld {
public:
    // One folder to index: its name, the files in it (relative paths) and whether it stays
    // marked as scanning.
    struct Tree {
        std::string name;
        std::vector<std::string> files;
        bool scanning = false;
    };

    explicit HostWorld(const std::string& socket = "api.sock") : host(settings, (data() / socket).string()) {
        fs::create_directories((data() / socket).parent_path());
    }
    ~HostWorld() { host.stop(); }

    std::string socket() const { return host.socketPath(); }

    // Configures one drive per tree, in the given order, makes the model (with the catalogs of
    // the data folder) and scans every tree into its volume.
    std::shared_ptr<AppModel> makeModel(const std::vector<Tree>& trees) {
        for (const Tree& tree : trees) {
            const fs::path root = dir / "trees" / tree.name;
            fs::create_directories(root);
            for (const std::string& file : tree.files) {
                fs::create_directories((root / file).parent_path());
                std::ofstream(root / file) << file;
            }
            const std::string canonical = fs::canonical(root).string();
            drives->list.push_back(Candidate{"KEY-" + tree.name, tree.name, canonical, "", false, false});
            sources["KEY-" + tree.name] = SourceConfig{true, true, {}, {}};
        }
        prefs.setSources(sources);
        prefs.setConfigured(true);
        auto model = make({}, true);
        for (std::size_t i = 0; i < trees.size(); ++i) {
            const auto& volume = model->volumes.get()[i];
            volume->index()->scan({volume->root()}, 2, 0);
            volume->scanning.set(trees[i].scanning);
        }
        host.model = model;
        return model;
    }

    // A catalog of an external drive that is not connected, with these entry names.
    void saveCatalog(const std::string& root, const std::vector<std::string>& names) {
        std::vector<IndexEntry> entries{{root}};
        for (const std::string& name : names) entries.push_back({name, 0});
        core::SnapshotInfo info;
        info.uuid = "UUID-CATALOG";
        info.root = root;
        ASSERT_TRUE(core::test::buildIndex(entries)->save((data() / "catalog.idx").string(), info));
    }

    std::string ask(const std::string& request) {
        return whileMainRuns(main, [&] { return send(request, socket()); });
    }

    SourceMap sources;
    LocalAPIHost host;
};

std::vector<std::string> pathsOf(const nlohmann::json& reply) {
    std::vector<std::string> paths;
    for (const auto& row : reply["results"]) paths.push_back(row["path"].get<std::string>());
    return paths;
}

TEST(LocalAPIHost, TheSwitchMakesAndRemovesTheSocket) {
    HostWorld world;
    const auto model = world.makeModel({{"music", {"a remix.mp3"}}});

    world.host.apply();
    EXPECT_FALSE(fs::exists(fs::symlink_status(world.socket()))) << "no \"localAPI\" means off";
    world.settings.setBoolean(LocalAPIHost::kLocalAPIKey, false);
    world.host.apply();
    EXPECT_FALSE(fs::exists(fs::symlink_status(world.socket())));
    EXPECT_EQ(world.host.server(), nullptr);

    int announced = 0;
    const auto watch = world.host.objectWillChange.connect([&] { ++announced; });
    world.host.setEnabled(true);
    EXPECT_EQ(world.settings.boolean(LocalAPIHost::kLocalAPIKey), true);
    EXPECT_GE(announced, 1);
    ASSERT_NE(world.host.server(), nullptr);
    EXPECT_TRUE(fs::is_socket(world.socket()));
    EXPECT_EQ(quorvanta::test::fileMode(world.socket()), 0600u);
    EXPECT_EQ(parsed(world.ask(kStatus))["volumes"].size(), 1u);

    const core::LocalAPIServer* running = world.host.server();
    world.host.apply();
    EXPECT_EQ(world.host.server(), running) << "a running server is kept";

    world.host.setEnabled(false);
    EXPECT_EQ(world.settings.boolean(LocalAPIHost::kLocalAPIKey), false);
    EXPECT_EQ(world.host.server(), nullptr);
    EXPECT_FALSE(fs::exists(fs::symlink_status(world.socket())));
    EXPECT_THROW(send(kStatus, world.socket()), core::LocalAPIClient::ClientError);
}

TEST(LocalAPIHost, AReleasedModelStopsTheServer) {
    HostWorld world;
    auto model = world.makeModel({{"music", {"a remix.mp3"}}});
    world.host.setEnabled(true);
    ASSERT_NE(world.host.server(), nullptr);

    model.reset();
    EXPECT_EQ(world.ask(kStatus), kFailure) << "a request meanwhile fails: the volumes are not known";
    world.host.apply();
    EXPECT_EQ(world.host.server(), nullptr);
    EXPECT_FALSE(fs::exists(fs::symlink_status(world.socket())));
    EXPECT_EQ(world.host.error.get(), std::nullopt);
}

// The host's error after switching on where the socket cannot be made. For the folder that the
// process may not write, the start runs in a child process that, as root, drops to an
// unprivileged uid (root writes anywhere); otherwise the folder is made read-only for it.
TEST(LocalAPIHost, StartFailuresAreShownWithTheirPrintedForm) {
    enum class Setup { foreignFile, deepFolder, unwritableFolder };
    struct Case {
        Setup setup;
        std::string socket;  // inside the data folder
        std::string description;
    };
    const Case cases[] = {
        {Setup::foreignFile, "api.sock", "notOurs"},
        {Setup::deepFolder, std::string(120, 'd') + "/api.sock", "pathTooLong"},
        {Setup::unwritableFolder, "locked/api.sock", "socket(" + std::to_string(EACCES) + ")"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.description);
        HostWorld world(c.socket);
        const auto model = world.makeModel({{"music", {"a remix.mp3"}}});
        const fs::path socket = world.socket();
        if (c.setup == Setup::foreignFile) std::ofstream(socket) << "not a socket";

        std::optional<std::string> shown;
        if (c.setup == Setup::unwritableFolder) {
            const bool root = ::geteuid() == 0;
            if (!root) fs::permissions(socket.parent_path(), fs::perms::owner_read | fs::perms::owner_exec);
            const quorvanta::test::ChildOutcome child = quorvanta::test::runInChild([&] {
                if (root && (::setgid(65534) != 0 || ::setuid(65534) != 0))
                    return std::string("skip: cannot switch to uid 65534 here");
                world.host.setEnabled(true);
                return world.host.error.get().value_or("no error");
            });
            if (!root) fs::permissions(socket.parent_path(), fs::perms::owner_all);
            ASSERT_TRUE(child.succeeded) << child.output;
            if (child.output.starts_with("skip: ")) GTEST_SKIP() << child.output.substr(6);  // the last case
            shown = child.output;
        } else {
            world.host.setEnabled(true);
            shown = world.host.error.get();
            EXPECT_EQ(world.host.server(), nullptr);
        }
        EXPECT_EQ(shown, "The Local API could not be started: " + c.description);
        if (c.setup == Setup::foreignFile) {
            EXPECT_TRUE(fs::is_regular_file(socket)) << "a foreign file stays";
            core::Lang::shared().setChoice("de");
            world.host.apply();
            EXPECT_EQ(world.host.error.get(), "Die lokale API konnte nicht gestartet werden: notOurs");
            core::Lang::shared().setChoice("en");
        }
    }
}

TEST(LocalAPIHost, SwitchingOffAndOnClearsTheErrorFirst) {
    HostWorld world;
    const auto model = world.makeModel({{"music", {"a remix.mp3"}}});
    std::ofstream(world.socket()) << "not a socket";
    std::vector<std::optional<std::string>> seen;
    const auto watch = world.host.error.observe([&](const auto& value) { seen.push_back(value); });
    const std::optional<std::string> failed = "The Local API could not be started: notOurs";

    world.host.setEnabled(true);
    EXPECT_EQ(seen, (std::vector<std::optional<std::string>>{std::nullopt, failed}));
    seen.clear();
    world.host.setEnabled(false);
    EXPECT_EQ(seen, (std::vector<std::optional<std::string>>{std::nullopt}));
    seen.clear();
    world.host.setEnabled(true);
    EXPECT_EQ(seen, (std::vector<std::optional<std::string>>{std::nullopt, failed})) << "a new try, shown anew";

    fs::remove(world.socket());
    seen.clear();
    world.host.setEnabled(false);
    world.host.setEnabled(true);
    EXPECT_EQ(seen, (std::vector<std::optional<std::string>>{std::nullopt, std::nullopt}));
    EXPECT_NE(world.host.server(), nullptr) << "the path is free again";
}

// Three scanned trees configured in the order zeta, alpha, mid (so model order is not name order),
// alpha hidden from results, mid still marked as scanning, and a catalog whose entries would match;
// the host switched on.
struct Volumes : HostWorld {
    Volumes() {
        saveCatalog("/media/me/Old Disk", {"old remix.mp3", "other.mp3"});
        model = makeModel({
            {"zeta", {"b remix.flac", "a remix.mp3", "plain.txt", "sub/c remix.wav"}},
            {"alpha", {"hidden remix.mp3", "x.txt"}},
            {"mid", {"remix", "d.txt"}, true},
        });
        prefs.setHiddenVolumes({model->volumes.get()[1]->id()});
        host.setEnabled(true);
        EXPECT_NE(host.server(), nullptr) << host.error.get().value_or("");
    }

    std::string root(std::size_t position) const { return model->volumes.get()[position]->root(); }

    std::shared_ptr<AppModel> model;
};

TEST(LocalAPIHost, StatusListsTheVisibleVolumesInModelOrderWithCatalogs) {
    Volumes world;
    const auto& model = world.model;
    const auto root = [&](std::size_t position) { return world.root(position); };
    ASSERT_EQ(model->volumes->size(), 4u);
    ASSERT_TRUE(model->volumes.get()[3]->offline.get());
    const nlohmann::json reply = parsed(world.ask(kStatus));
    struct Expected {
        std::string name;
        std::string root;
        std::int64_t entries;  // live entries: the root, folders and files
        bool scanning;
        bool offline;
    };
    const Expected expected[] = {
        {"zeta", root(0), 6, false, false},
        {"mid", root(2), 3, true, false},
        {"Old Disk", "/media/me/Old Disk", 3, false, true},
    };
    ASSERT_EQ(reply["volumes"].size(), std::size(expected)) << reply;
    std::int64_t sum = 0;
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        const nlohmann::json& volume = reply["volumes"][i];
        EXPECT_EQ(volume["name"], expected[i].name) << i;
        EXPECT_EQ(volume["root"], expected[i].root) << i;
        EXPECT_EQ(volume["entries"], expected[i].entries) << i;
        EXPECT_EQ(volume["scanning"], expected[i].scanning) << i;
        EXPECT_EQ(volume["offline"], expected[i].offline) << i;
        sum += expected[i].entries;
    }
    EXPECT_EQ(reply["entries"], sum) << "the hidden volume is not counted; the catalog is";

    world.prefs.setHiddenVolumes({});
    EXPECT_EQ(parsed(world.ask(kStatus))["volumes"][1]["name"], "alpha") << "each request copies anew";
}

TEST(LocalAPIHost, SearchGoesVolumeByVolumeOverTheConnectedVisibleOnes) {
    Volumes world;
    const auto root = [&](std::size_t position) { return world.root(position); };
    const nlohmann::json reply = parsed(world.ask(kRemix));
    EXPECT_EQ(pathsOf(reply), (std::vector<std::string>{root(0) + "/a remix.mp3", root(0) + "/b remix.flac",
                                                        root(0) + "/sub/c remix.wav", root(2) + "/remix"}))
        << "by name within a volume, volumes in model order; nothing of the hidden volume or the catalog";
    EXPECT_EQ(reply["total"], 4);
    EXPECT_EQ(reply["results"][3]["kind"], "file");

    const nlohmann::json two = parsed(world.ask(R"({"op":"search","query":"remix","limit":2})"));
    EXPECT_EQ(pathsOf(two), (std::vector<std::string>{root(0) + "/a remix.mp3", root(0) + "/b remix.flac"}));
    EXPECT_EQ(two["total"], 4) << "the volumes after the limit are still counted";
}

TEST(LocalAPIHost, AnAPISearchLeavesTheApplicationsOwnSearchRunning) {
    Volumes world;
    const auto& model = world.model;
    Gate held;
    model->volumes.get()[0]->searcher()->setHookForTesting(
        [&](core::Searcher::TestPoint at, std::uint32_t, std::size_t) {
            if (at == core::Searcher::TestPoint::rangeStart) held.hold();
        });
    std::vector<std::shared_ptr<const ResultSet>> published;
    const auto watch = model->results.observe([&](const auto& results) { published.push_back(results); });

    model->setQuery("remix");
    held.waitUntilHeld();
    EXPECT_EQ(pathsOf(parsed(world.ask(kRemix))).size(), 4u);
    held.release();
    world.settle(*model);
    ASSERT_EQ(published.size(), 1u) << "the application's search was not cancelled";
    EXPECT_EQ(rowNames(*published[0]), (std::vector<std::string>{"0:a remix.mp3", "0:b remix.flac", "0:c remix.wav",
                                                                 "2:old remix.mp3", "1:remix"}))
        << "the application's own search, over the same volumes and the catalog, merged by name";
}

TEST(LocalAPIHost, DuringShutdownRequestsFailAtOnce) {
    Volumes world;
    world.main.beginShutdown();
    // Nothing runs the main queue now: this thread asks itself.
    EXPECT_EQ(send(kStatus, world.socket()), kFailure);
    EXPECT_EQ(send(kRemix, world.socket()), kFailure);
    world.host.stop();
    EXPECT_EQ(world.host.server(), nullptr);
    EXPECT_FALSE(fs::exists(fs::symlink_status(world.socket())));
}

#ifdef QUORVANTA_CLI_PATH
TEST(LocalAPIHost, TheToolAsksTheHost) {
    Volumes world;
    const auto root = [&](std::size_t position) { return world.root(position); };
    const auto run = [&](const std::vector<std::string>& args) {
        return whileMainRuns(world.main, [&] { return quorvanta::test::runProgram(QUORVANTA_CLI_PATH, args); });
    };
    const auto status = run({"api", "status", "--socket", world.socket()});
    EXPECT_EQ(status.status, 0) << status.err;
    EXPECT_EQ(parsed(status.out)["volumes"].size(), 3u) << status.out;

    const auto search = run({"api", "search", "remix", "--socket", world.socket()});
    EXPECT_EQ(search.status, 0) << search.err;
    EXPECT_EQ(pathsOf(parsed(search.out)),
              (std::vector<std::string>{root(0) + "/a remix.mp3", root(0) + "/b remix.flac",
                                        root(0) + "/sub/c remix.wav", root(2) + "/remix"}));

    world.main.beginShutdown();
    const auto refused = quorvanta::test::runProgram(QUORVANTA_CLI_PATH, {"api", "status", "--socket", world.socket()});
    EXPECT_EQ(refused.status, 3) << "a failure, never an empty list";
    EXPECT_EQ(refused.out, kFailure + "\n");
}
#endif

}  // namespace
}  // namespace quorvanta::app::test
