#include "tests/QuorvantaCore/index_engine/TreeFixture.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/TempDir.h"
#include "tests/support/VerboseOverride.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/mount.h>

#include <mutex>
#include <set>
#include <thread>

namespace quorvanta::index_engine::test {
namespace {

using quorvanta::test::TempDir;

// Entry index of the entry with this path, or FIDX_NONE.
uint32_t find(const fidx* h, const std::string& path) {
    for (uint32_t e = 0; e < fidx_count(h); ++e)
        if (pathOf(h, e) == path) return e;
    return FIDX_NONE;
}

uint32_t childCount(const fidx* h, uint32_t parent) {
    uint32_t n = 0;
    for (uint32_t e = 0; e < fidx_count(h); ++e) n += h->parent[e] == parent;
    return n;
}

TEST(Scan, ClassifiesRecordsByName) {
    TempDir tmp;
    const std::string root = (tmp / "c").string();
    makeDir(root);
    struct Case {
        std::string rel;
        bool folder;
        uint8_t flags;  // besides the folder bit
        bool keptWithMp3Only;
    };
    const Case cases[] = {
        {"._x", false, FIDX_HIDDEN | FIDX_JUNK, false},
        {".DS_Store", false, FIDX_HIDDEN | FIDX_JUNK, false},
        {".ds_store", false, FIDX_HIDDEN, false},
        {"THUMBS.DB", false, FIDX_JUNK, false},
        {"found.000", true, FIDX_JUNK, true},
        {"FOUND.001", false, 0, false},
        {"FILE0001.CHK", false, FIDX_JUNK, false},
        {"$RECYCLE.BIN", true, FIDX_JUNK, true},
        {"$RECYCLE.BIN/inner.mp3", false, FIDX_JUNK, true},
        {".config", true, FIDX_HIDDEN, true},
        {".config/deep", true, FIDX_HIDDEN, true},
        {".config/deep/song.MP3", false, FIDX_HIDDEN, true},
        {"song.mp3", false, 0, true},
        {"x.flac", false, 0, false},
        {"README", false, 0, false},
        {".mp3", false, FIDX_HIDDEN, false},
        {"Music.mp3", true, 0, true},
    };
    for (const Case& c : cases) c.folder ? makeDir(root + "/" + c.rel) : makeFile(root + "/" + c.rel, 3);
    for (bool mp3Only : {false, true}) {
        SCOPED_TRACE(mp3Only ? "include-only mp3" : "every file");
        Index h = newIndex();
        const char* mp3[] = {"mp3"};
        fidx_set_include_exts(h.get(), mp3, mp3Only ? 1 : 0);
        scan_stats st{};
        ASSERT_EQ(fidx_scan(h.get(), root.c_str(), 2, &st), 0);
        uint64_t files = 0, dirs = 0;
        for (const Case& c : cases) {
            const uint32_t e = find(h.get(), root + "/" + c.rel);
            if (mp3Only && !c.keptWithMp3Only) {
                EXPECT_EQ(e, FIDX_NONE) << c.rel << " is dropped";
                continue;
            }
            ASSERT_NE(e, FIDX_NONE) << c.rel;
            EXPECT_EQ(h->flags[e], c.flags | (c.folder ? FIDX_FOLDER : 0)) << c.rel;
            ++(c.folder ? dirs : files);
        }
        EXPECT_EQ(st.files, files) << "dropped files are not counted";
        EXPECT_EQ(st.dirs, dirs);
    }
}

TEST(Scan, HiddenRootPassesNothingOn) {
    TempDir tmp;
    const std::string root = (tmp / ".hiddenroot").string();
    makeDir(root);
    makeFile(root + "/plain.txt");
    Index h = newIndex();
    ASSERT_EQ(fidx_scan(h.get(), root.c_str(), 1, nullptr), 0);
    EXPECT_EQ(h->flags[find(h.get(), root + "/plain.txt")], 0);
}

TEST(Scan, LoopGuardStopsAtSixRepetitions) {
    struct Case {
        std::vector<std::string> block;
        int repetitions;
        bool innermostEntered;
    };
    const Case cases[] = {{{"a"}, 6, false},           {{"a"}, 5, true},
                          {{"a", "b"}, 6, false},      {{"a", "b"}, 5, true},
                          {{"a", "b", "c"}, 6, false}, {{"a", "b", "c"}, 5, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.block.size()) + " names x" + std::to_string(c.repetitions));
        TempDir tmp;
        std::string path = (tmp / "r").string();
        makeDir(path);
        const std::string root = path;
        for (int r = 0; r < c.repetitions; ++r)
            for (const std::string& n : c.block) makeDir(path += "/" + n);
        makeFile(path + "/inside");
        Index h = newIndex();
        scan_stats st{};
        ASSERT_EQ(fidx_scan(h.get(), root.c_str(), 2, &st), 0);
        EXPECT_NE(find(h.get(), path), FIDX_NONE) << "the folder itself is recorded";
        EXPECT_EQ(find(h.get(), path + "/inside") != FIDX_NONE, c.innermostEntered);
        EXPECT_EQ(st.nested, c.innermostEntered ? 0u : 1u);
    }
}

TEST(Scan, ExclusionsMatchWithOrWithoutTrailingSlash) {
    TempDir tmp;
    const std::string base = (tmp / "data").string();
    for (const char* d : {"", "/keep", "/skip1", "/skip2", "/skip2/deeper"}) makeDir(base + d);
    for (const char* f : {"/keep/a", "/skip1/b", "/skip2/deeper/c"}) makeFile(base + f);
    Index h = newIndex();
    const std::string skip1 = base + "/skip1/", skip2 = base + "/skip2";
    const char* excl[] = {"/nowhere/", skip1.c_str(), skip2.c_str()};
    fidx_set_excludes(h.get(), excl, 3);
    const std::string root = base + "/";  // a root written with a trailing "/"
    ASSERT_EQ(fidx_scan(h.get(), root.c_str(), 4, nullptr), 0);
    EXPECT_EQ(nameOf(h.get(), 0), root) << "the root's name stays exactly as given";
    for (const char* p : {"/keep", "/keep/a", "/skip1", "/skip2"}) EXPECT_NE(find(h.get(), base + p), FIDX_NONE) << p;
    for (const char* p : {"/skip1/b", "/skip2/deeper"}) EXPECT_EQ(find(h.get(), base + p), FIDX_NONE) << p;
}

// Exclusions cover what lies in or below them, compared by whole components, wherever the scan
// starts: a starting folder inside an excluded one is recorded (a root) but never entered.
TEST(Scan, ExclusionsCoverWhatLiesInOrBelowThem) {
    TempDir tmp;
    const std::string base = (tmp / "data").string();
    for (const char* d : {"", "/keep", "/skip", "/skip/deeper", "/skipx"}) makeDir(base + d);
    for (const char* f : {"/keep/a", "/skip/b", "/skip/deeper/c", "/skipx/d"}) makeFile(base + f);
    const struct {
        const char* name;
        std::vector<std::string> excludes;
        std::string root;             // relative to base
        std::set<std::string> found;  // relative to base
    } cases[] = {
        {"repeated slashes", {base + "//skip"}, "", {"/keep", "/keep/a", "/skip", "/skipx", "/skipx/d"}},
        {"a name that merely starts alike",
         {base + "/ski"},
         "",
         {"/keep", "/keep/a", "/skip", "/skip/b", "/skip/deeper", "/skip/deeper/c", "/skipx", "/skipx/d"}},
        {"a root inside an excluded folder", {base + "/skip"}, "/skip/deeper", {}},
        {"a root that is excluded", {base + "/keep/"}, "/keep", {}},
        {"the file system root", {"/"}, "", {}},
    };
    for (const auto& c : cases) {
        Index h = newIndex();
        std::vector<const char*> excl;
        for (const std::string& e : c.excludes) excl.push_back(e.c_str());
        fidx_set_excludes(h.get(), excl.data(), static_cast<uint32_t>(excl.size()));
        const std::string root = base + c.root;
        scan_stats st{};
        ASSERT_EQ(fidx_scan(h.get(), root.c_str(), 2, &st), 0) << c.name;
        EXPECT_EQ(nameOf(h.get(), 0), root) << c.name << ": the root has its entry";
        std::set<std::string> found;
        for (const Seen& seen : indexed(h.get())) found.insert(seen.path.substr(base.size()));
        EXPECT_EQ(found, c.found) << c.name;

        // A scan started at a folder the scan left unentered adds nothing either.
        const uint32_t skip = find(h.get(), base + "/skip");
        if (skip == FIDX_NONE || c.found.count("/skip/b")) continue;
        ASSERT_EQ(fidx_scan_under(h.get(), (base + "/skip").c_str(), skip, 0, 2, &st), 0) << c.name;
        EXPECT_EQ(fidx_count(h.get()), c.found.size() + 1) << c.name;
        EXPECT_EQ(st.files + st.dirs, 0u) << c.name;
    }
}

TEST(Scan, StopFlagBeforeTheScanAddsOnlyTheRoot) {
    TempDir tmp;
    makeFile((tmp / "f").string());
    Index h = newIndex();
    fidx_scan_control(h.get(), 1, 0);
    scan_stats st{};
    ASSERT_EQ(fidx_scan(h.get(), tmp.path().c_str(), 4, &st), 0);
    EXPECT_EQ(fidx_count(h.get()), 1u);
    EXPECT_EQ(st.files + st.dirs + st.errors, 0u);
}

// A wide tree: `folders` folders of `files` files each below the root.
std::string wideTree(const TempDir& tmp, int folders, int files) {
    const std::string root = (tmp / "wide").string();
    makeDir(root);
    for (int d = 0; d < folders; ++d) {
        const std::string dir = root + "/d" + std::to_string(d);
        makeDir(dir);
        for (int f = 0; f < files; ++f) makeFile(dir + "/f" + std::to_string(f));
    }
    return root;
}

struct StopAfter {
    fidx* h;
    std::atomic<int> calls{0};
    int limit;
    static void hook(void* ctx, const char*) {
        auto* self = static_cast<StopAfter*>(ctx);
        if (self->calls.fetch_add(1) + 1 == self->limit) fidx_scan_control(self->h, 1, 0);
    }
};

TEST(Scan, StopFlagDuringTheScanEndsItEarly) {
    TempDir tmp;
    const std::string root = wideTree(tmp, 400, 2);
    Index h = newIndex();
    StopAfter stop{h.get(), {}, 20};
    fidx_set_dir_hook(h.get(), StopAfter::hook, &stop);
    ASSERT_EQ(fidx_scan(h.get(), root.c_str(), 4, nullptr), 0);
    EXPECT_LT(fidx_count(h.get()), 1u + 400 + 800 / 2) << "most folders were dropped unread";
    EXPECT_LT(stop.calls.load(), 60);
}

TEST(Scan, TinyCapacityCountsErrorsAndVisitsNoSubfolders) {
    TempDir tmp;
    const std::string root = wideTree(tmp, 30, 5);
    Index h = newIndex(20, 1 << 20);
    scan_stats st{};
    ASSERT_EQ(fidx_scan(h.get(), root.c_str(), 4, &st), 0);
    EXPECT_EQ(fidx_count(h.get()), 1u) << "the root's 30 folders do not fit";
    EXPECT_EQ(st.errors, 1u);
    EXPECT_NE(fidx_overflowed(h.get()), 0u);

    Index roomForSome = newIndex(50, 1 << 20);
    ASSERT_EQ(fidx_scan(roomForSome.get(), root.c_str(), 4, &st), 0);
    EXPECT_EQ(fidx_count(roomForSome.get()), 1u + 30 + 3 * 5) << "three folders fit, the rest are refused";
    EXPECT_EQ(st.errors, 27u);
    EXPECT_EQ(contiguityFault(roomForSome.get()), "");
}

TEST(Scan, OverlappingScansUnderOneHandleStayApart) {
    TempDir tmp;
    const std::string root = (tmp / "two").string();
    for (const char* d : {"", "/A", "/B"}) makeDir(root + d);
    std::vector<std::string> expected;
    for (const char* side : {"/A", "/B"})
        for (int d = 0; d < 40; ++d) {
            const std::string dir = root + side + "/d" + std::to_string(d);
            makeDir(dir);
            expected.push_back(dir);
            for (int f = 0; f < 3; ++f) {
                makeFile(dir + "/f" + std::to_string(f));
                expected.push_back(dir + "/f" + std::to_string(f));
            }
        }
    Index h = newIndex();
    const std::string a = root + "/A", b = root + "/B";
    const char* excl[] = {a.c_str(), b.c_str()};
    fidx_set_excludes(h.get(), excl, 2);
    ASSERT_EQ(fidx_scan(h.get(), root.c_str(), 1, nullptr), 0);
    ASSERT_EQ(fidx_count(h.get()), 3u);
    fidx_set_excludes(h.get(), nullptr, 0);
    const uint32_t ea = find(h.get(), a), eb = find(h.get(), b);
    scan_stats sa{}, sb{};
    std::thread ta([&] { EXPECT_EQ(fidx_scan_under(h.get(), a.c_str(), ea, 0, 4, &sa), 0); });
    std::thread tb([&] { EXPECT_EQ(fidx_scan_under(h.get(), b.c_str(), eb, 0, 4, &sb), 0); });
    ta.join();
    tb.join();
    EXPECT_EQ(sa.dirs, 40u);
    EXPECT_EQ(sb.files, 120u);
    std::vector<std::string> got;
    for (const Seen& s : indexed(h.get())) got.push_back(s.path);
    std::sort(expected.begin(), expected.end());
    expected.push_back(a);
    expected.push_back(b);
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(got, expected);
    EXPECT_EQ(contiguityFault(h.get()), "");
}

TEST(Scan, ScanUnderRefusesLinksFilesAndUnknownEntries) {
    TempDir tmp;
    makeDir((tmp / "real").string());
    ASSERT_EQ(symlink("real", (tmp / "link").c_str()), 0);
    makeFile((tmp / "file").string());
    Index h = newIndex();
    ASSERT_EQ(fidx_scan(h.get(), tmp.path().c_str(), 1, nullptr), 0);
    struct Case {
        std::string path;
        uint32_t entry;
        int error;
    };
    for (const Case& c : {Case{(tmp / "link").string(), 0, ENOTDIR}, Case{(tmp / "file").string(), 0, ENOTDIR},
                          Case{(tmp / "gone").string(), 0, ENOENT}, Case{(tmp / "real").string(), 99, EINVAL}}) {
        errno = 0;
        EXPECT_EQ(fidx_scan_under(h.get(), c.path.c_str(), c.entry, 0, 1, nullptr), -1) << c.path;
        EXPECT_EQ(errno, c.error) << c.path;
    }
}

TEST(Scan, RootThatCannotBeOpenedAddsNothing) {
    TempDir tmp;
    makeFile((tmp / "file").string());
    Index h = newIndex();
    for (const std::string& p : {(tmp / "file").string(), (tmp / "missing").string()}) {
        scan_stats st{};
        st.dirs = 5;
        EXPECT_EQ(fidx_scan(h.get(), p.c_str(), 1, &st), -1);
        EXPECT_EQ(st.dirs, 0u);
    }
    EXPECT_EQ(fidx_count(h.get()), 0u);
}

TEST(Scan, FolderHookSeesEveryFolderBeforeItIsRead) {
    TempDir tmp;
    const std::string root = wideTree(tmp, 25, 1);
    makeDir(root + "/d3/sub");
    struct Hook {
        std::mutex m;
        std::multiset<std::string> seen;
        static void call(void* ctx, const char* path) {
            auto* self = static_cast<Hook*>(ctx);
            makeFile(std::string(path) + "/hooked");
            std::lock_guard lock(self->m);
            self->seen.insert(path);
        }
    } hook;
    Index h = newIndex();
    fidx_set_dir_hook(h.get(), Hook::call, &hook);
    ASSERT_EQ(fidx_scan(h.get(), root.c_str(), 8, nullptr), 0);
    std::multiset<std::string> folders = {root};
    for (uint32_t e = 1; e < fidx_count(h.get()); ++e)
        if (h->flags[e] & FIDX_FOLDER) folders.insert(pathOf(h.get(), e));
    EXPECT_EQ(hook.seen, folders) << "once per listed folder";
    for (const std::string& f : folders) EXPECT_NE(find(h.get(), f + "/hooked"), FIDX_NONE) << f;

    fidx_listing l{};
    ASSERT_EQ(fidx_list(h.get(), (root + "/d3/sub").c_str(), 0, &l), 0);
    EXPECT_EQ(hook.seen.count(root + "/d3/sub"), 2u) << "fidx_list calls the hook too";
    fidx_listing_free(&l);
}

TEST(Scan, UnsearchableFoldersCountErrors) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to prepare folders for an unprivileged uid";
    // The fixture must be reachable by the unprivileged uid: a folder of its own under /tmp.
    char base[] = "/tmp/quorvanta-perm-XXXXXX";
    ASSERT_NE(mkdtemp(base), nullptr);
    chmod(base, 0755);
    const std::string root = base;
    for (const char* d : {"/locked", "/listonly", "/listonly/sub", "/open"}) makeDir(root + d);
    for (const char* f : {"/listonly/a.txt", "/open/b.txt"}) makeFile(root + f, 10);
    chmod((root + "/locked").c_str(), 0);
    chmod((root + "/listonly").c_str(), 0444);
    const quorvanta::test::ChildOutcome child = quorvanta::test::runInChild([&]() -> std::string {
        if (setgid(65534) != 0 || setuid(65534) != 0) return "SKIP: cannot drop to uid 65534";
        Index h = newIndex();
        scan_stats st{};
        if (fidx_scan(h.get(), root.c_str(), 2, &st) != 0) return "scan failed";
        std::string out;
        // locked: not opened (1); listonly: entries without statx (1); listonly/sub: not opened (1).
        if (st.errors != 3) out += "errors " + std::to_string(st.errors) + "; ";
        const uint32_t a = find(h.get(), root + "/listonly/a.txt");
        const uint32_t sub = find(h.get(), root + "/listonly/sub");
        if (a == FIDX_NONE || h->size[a] != 0 || h->mtime[a] != 0 || h->flags[a] != 0) out += "a.txt wrong; ";
        if (sub == FIDX_NONE || h->flags[sub] != FIDX_FOLDER) out += "sub wrong; ";
        const uint32_t b = find(h.get(), root + "/open/b.txt");
        if (b == FIDX_NONE || h->size[b] != 10) out += "b.txt wrong; ";
        return out;
    });
    chmod((root + "/locked").c_str(), 0755);
    chmod((root + "/listonly").c_str(), 0755);
    std::filesystem::remove_all(root);
    ASSERT_TRUE(child.succeeded) << child.output;
    if (child.output.rfind("SKIP", 0) == 0) GTEST_SKIP() << child.output;
    EXPECT_EQ(child.output, "");
}

// Removes a tree whose paths may be longer than PATH_MAX.
void removeTreeAt(int dirfd, const char* name) {
    const int fd = openat(dirfd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd >= 0) {
        std::vector<std::string> names;
        if (DIR* d = fdopendir(dup(fd))) {
            while (dirent* e = readdir(d))
                if (strcmp(e->d_name, ".") && strcmp(e->d_name, "..")) names.emplace_back(e->d_name);
            closedir(d);
        }
        for (const std::string& n : names)
            if (unlinkat(fd, n.c_str(), 0) != 0) removeTreeAt(fd, n.c_str());
        close(fd);
    }
    unlinkat(dirfd, name, AT_REMOVEDIR);
}

// Scans with standard error captured; gives what was written to it.
std::string scanCapturingStderr(const std::string& root, scan_stats& st) {
    TempDir out;
    const std::string file = (out / "stderr").string();
    fflush(stderr);
    const int saved = dup(2);
    const int fd = open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    dup2(fd, 2);
    close(fd);
    Index h = newIndex();
    fidx_scan(h.get(), root.c_str(), 2, &st);
    fflush(stderr);
    dup2(saved, 2);
    close(saved);
    return quorvanta::test::readFile(file);
}

TEST(Scan, PathTooLongCountsAnErrorAndIsReportedWhenVerbose) {
    TempDir tmp;
    const std::string root = (tmp / "deep").string();
    makeDir(root);
    std::string path = root;
    int fd = open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    for (char level = 'a'; path.size() < 4200; ++level) {  // past PATH_MAX, built relative to descriptors
        const std::string part(200, level);                // distinct names: no loop guard
        ASSERT_EQ(mkdirat(fd, part.c_str(), 0755), 0);
        const int next = openat(fd, part.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        close(fd);
        fd = next;
        path += "/" + part;
    }
    close(fd);

    scan_stats st{};
    {
        quorvanta::test::VerboseOverride quiet(false);
        EXPECT_EQ(scanCapturingStderr(root, st), "") << "nothing printed without the variable";
        EXPECT_EQ(st.errors, 1u);
    }
    quorvanta::test::VerboseOverride verbose(true);
    const std::string printed = scanCapturingStderr(root, st);
    EXPECT_EQ(st.errors, 1u);
    EXPECT_EQ(printed.rfind("open " + root + "/", 0), 0u) << printed.substr(0, 80);
    EXPECT_NE(printed.find(": File name too long\n"), std::string::npos);
    EXPECT_EQ(std::count(printed.begin(), printed.end(), '\n'), 1);
    removeTreeAt(AT_FDCWD, root.c_str());
}

TEST(Scan, OtherMountsAreRecordedNotEntered) {
    TempDir tmp;
    const std::string root = (tmp / "m").string();
    for (const char* d : {"", "/tmpfs", "/src", "/src/inner", "/bind"}) makeDir(root + d);
    makeFile(root + "/src/file");
    const quorvanta::test::ChildOutcome child = quorvanta::test::runInChild([&]() -> std::string {
        if (unshare(CLONE_NEWNS) != 0) return std::string("SKIP: unshare(CLONE_NEWNS): ") + strerror(errno);
        if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) return "SKIP: cannot make mounts private";
        if (mount("tmpfs", (root + "/tmpfs").c_str(), "tmpfs", 0, "size=1m") != 0)
            return std::string("SKIP: mount tmpfs: ") + strerror(errno);
        if (mount((root + "/src").c_str(), (root + "/bind").c_str(), nullptr, MS_BIND, nullptr) != 0)
            return std::string("SKIP: bind mount: ") + strerror(errno);
        makeDir(root + "/tmpfs/in");
        makeFile(root + "/tmpfs/in/x");
        std::string out;
        Index h = newIndex();
        if (fidx_scan(h.get(), root.c_str(), 4, nullptr) != 0) return "scan failed";
        for (const char* d : {"/tmpfs", "/bind"}) {
            const uint32_t e = find(h.get(), root + d);
            if (e == FIDX_NONE || h->flags[e] != FIDX_FOLDER)
                out += std::string(d) + " not recorded as a folder; ";
            else if (childCount(h.get(), e) != 0)
                out += std::string(d) + " was entered; ";
        }
        if (childCount(h.get(), find(h.get(), root + "/src")) != 2) out += "src not entered; ";

        fidx_listing l{};
        if (fidx_list(nullptr, root.c_str(), 0, &l) != 0) return out + "list failed";
        for (uint32_t i = 0; i < l.count; ++i) {
            const std::string name = reinterpret_cast<const char*>(l.names + l.recs[i].name);
            const bool other = l.recs[i].flags & FIDX_OTHER_DEVICE;
            if (other != (name == "tmpfs" || name == "bind")) out += "list flag of " + name + " wrong; ";
        }
        fidx_listing_free(&l);
        if (fidx_list(nullptr, (root + "/tmpfs").c_str(), 0, &l) != 0 || l.count != 1 || l.recs[0].flags != FIDX_FOLDER)
            out += "listing inside the tmpfs is judged against the wrong folder; ";
        fidx_listing_free(&l);
        return out;
    });
    ASSERT_TRUE(child.succeeded) << child.output;
    if (child.output.rfind("SKIP", 0) == 0) GTEST_SKIP() << child.output;
    EXPECT_EQ(child.output, "");
}

}  // namespace
}  // namespace quorvanta::index_engine::test
