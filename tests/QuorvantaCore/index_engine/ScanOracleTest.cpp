// A seeded random tree scanned with 1, 8 and 1,000 threads must equal an independent walk.
#include "tests/QuorvantaCore/index_engine/TreeFixture.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <random>
#include <set>

namespace quorvanta::index_engine::test {
namespace {

const std::set<std::string> kJunkNames = {"Thumbs.db", "._meta", ".DS_Store", "desktop.INI", "$RECYCLE.BIN"};

// Random tree: folders, sparse files, times before 1970 and past 2^32 s, links to files and
// folders, FIFOs, hidden, junk, non-UTF-8 and newline names.
struct RandomTree {
    std::mt19937 rng;
    explicit RandomTree(unsigned seed) : rng(seed) {}
    int serial = 0;

    int64_t randomTime() {
        const int64_t choices[] = {-86400LL * 400, 0, 1000000000, 5000000000LL, 1700000000};
        return choices[rng() % 5];
    }

    std::string fileName() {
        const int n = serial++;
        switch (rng() % 10) {
            case 0:
                return ".hidden" + std::to_string(n);
            case 1:
                return std::string("\xff\xfe") + std::to_string(n) + ".Bin";
            case 2:
                return "new\nline" + std::to_string(n) + ".txt";
            case 3:
                return n % 2 ? "Thumbs.db" : "._meta";
            case 4:
                return "archive" + std::to_string(n) + ".TAR.GZ";
            case 5:
                return "caf\xc3\xa9" + std::to_string(n) + ".mp3";
            case 6:
                return "noext" + std::to_string(n);
            default:
                return "Photo" + std::to_string(n) + ".JPG";
        }
    }

    std::string folderName() {
        const int n = serial++;
        switch (rng() % 8) {
            case 0:
                return ".hid" + std::to_string(n);
            case 1:
                return "$RECYCLE.BIN";
            case 2:
                return "x" + std::to_string(n) + ".app";
            default:
                return "dir" + std::to_string(n);
        }
    }

    void fill(const std::string& dir, int depth) {
        std::vector<std::string> made;
        const int files = rng() % 7;
        for (int i = 0; i < files; ++i) {
            const std::string p = dir + "/" + fileName();
            if (access(p.c_str(), F_OK) == 0) continue;
            makeFile(p, rng() % 3 ? rng() % 100000 : (uint64_t{1} << 33) + rng() % 1000);
            made.push_back(p);
        }
        if (rng() % 3 == 0) {
            const std::string p = dir + "/fifo" + std::to_string(serial++);
            check(mkfifo(p.c_str(), 0644) == 0, "mkfifo");
            made.push_back(p);
        }
        if (rng() % 3 == 0) {
            const std::string p = dir + "/link" + std::to_string(serial++);
            check(symlink(rng() % 2 ? ".." : "/etc/hostname", p.c_str()) == 0, "symlink");
            made.push_back(p);
        }
        const int dirs = depth < 4 ? rng() % 4 : 0;
        for (int i = 0; i < dirs; ++i) {
            const std::string p = dir + "/" + folderName();
            if (access(p.c_str(), F_OK) == 0) continue;
            makeDir(p);
            fill(p, depth + 1);
            made.push_back(p);
        }
        for (const std::string& p : made) setTimes(p, randomTime());
    }
};

// The independent walk.
struct Walk {
    static inline std::string root;
    static inline std::vector<Seen>* out;
    static inline scan_stats* stats;

    static int visit(const char* path, const struct stat*, int, struct FTW* ftw) {
        if (ftw->level == 0) return 0;
        struct statx sx;
        if (statx(AT_FDCWD, path, AT_SYMLINK_NOFOLLOW, STATX_ALL, &sx) != 0) return 1;
        const std::string p = path;
        const std::string rel = p.substr(root.size() + 1);
        uint8_t flags = 0;
        size_t start = 0;
        while (true) {
            const size_t slash = rel.find('/', start);
            const std::string comp = rel.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
            if (comp[0] == '.') flags |= FIDX_HIDDEN;
            if (kJunkNames.count(comp)) flags |= FIDX_JUNK;
            if (slash == std::string::npos) break;
            start = slash + 1;
        }
        const std::string name = rel.substr(rel.rfind('/') == std::string::npos ? 0 : rel.rfind('/') + 1);
        for (unsigned char c : name)
            if (c >= 0x80) flags |= FIDX_NON_ASCII;
        Seen s{p, '-', 0, 0, 0, 0, ""};
        if (S_ISDIR(sx.stx_mode)) {
            s.kind = 'd';
            flags |= FIDX_FOLDER;
            ++stats->dirs;
        } else if (S_ISREG(sx.stx_mode)) {
            s.size = sx.stx_size;
            ++stats->files;
            stats->bytes += s.size;
        } else {
            if (S_ISLNK(sx.stx_mode)) {
                s.kind = 'l';
                flags |= FIDX_SYMLINK;
            }
            ++stats->other;
        }
        auto clamp = [](int64_t t) { return static_cast<uint32_t>(std::clamp<int64_t>(t, 0, 0xFFFFFFFFLL)); };
        s.mtime = clamp(sx.stx_mtime.tv_sec);
        s.ctime = sx.stx_mask & STATX_BTIME ? clamp(sx.stx_btime.tv_sec) : 0;
        s.flags = flags;
        const size_t dot = name.rfind('.');
        if (s.kind != 'd' && dot != std::string::npos && dot != 0 && dot + 1 < name.size() &&
            name.size() - dot - 1 <= 15) {
            s.ext = name.substr(dot + 1);
            for (char& c : s.ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
        out->push_back(s);
        return 0;
    }

    static std::vector<Seen> of(const std::string& r, scan_stats& st) {
        std::vector<Seen> seen;
        root = r;
        out = &seen;
        stats = &st;
        nftw(r.c_str(), visit, 64, FTW_PHYS);
        std::sort(seen.begin(), seen.end());
        return seen;
    }
};

TEST(ScanOracle, EqualsAnIndependentWalkForAnyThreadCount) {
    quorvanta::test::TempDir tmp;
    const std::string root = (tmp / "tree").string();
    makeDir(root);
    RandomTree tree(20261210);
    tree.fill(root, 0);
    for (int extra = 0; extra < 12; ++extra) {  // a wider top level so that many workers get work
        const std::string p = root + "/top" + std::to_string(extra);
        makeDir(p);
        tree.fill(p, 1);
    }
    scan_stats expectedStats{};
    const std::vector<Seen> expected = Walk::of(root, expectedStats);
    ASSERT_GT(expected.size(), 300u);
    // The fixture holds every kind of case it is meant to.
    auto any = [&](auto pred) { return std::any_of(expected.begin(), expected.end(), pred); };
    EXPECT_TRUE(any([](const Seen& s) { return s.mtime == 0xFFFFFFFFu; })) << "a time past 2^32 s";
    EXPECT_TRUE(any([](const Seen& s) { return s.kind == 'l'; })) << "a symbolic link";
    EXPECT_TRUE(any([](const Seen& s) { return s.size > 0xFFFFFFFFu; })) << "a file over 4 GiB";
    for (uint8_t flag : {FIDX_HIDDEN, FIDX_JUNK, FIDX_NON_ASCII})
        EXPECT_TRUE(any([flag](const Seen& s) { return s.flags & flag; })) << "flag " << int(flag);
    EXPECT_TRUE(any([](const Seen& s) { return s.path.find('\n') != std::string::npos; })) << "a newline name";

    for (int threads : {1, 8, 1000}) {
        SCOPED_TRACE("threads " + std::to_string(threads));
        Index h = newIndex();
        scan_stats stats{};
        stats.errors = 99;  // overwritten, not added to
        ASSERT_EQ(fidx_scan(h.get(), root.c_str(), threads, &stats), 0);
        const std::vector<Seen> got = indexed(h.get());
        ASSERT_EQ(got.size(), expected.size());
        for (size_t i = 0; i < got.size(); ++i) ASSERT_EQ(got[i], expected[i]) << "at " << i;
        EXPECT_EQ(stats.files, expectedStats.files);
        EXPECT_EQ(stats.dirs, expectedStats.dirs);
        EXPECT_EQ(stats.other, expectedStats.other);
        EXPECT_EQ(stats.bytes, expectedStats.bytes);
        EXPECT_EQ(stats.errors, 0u);
        EXPECT_EQ(stats.enoent, 0u);
        EXPECT_EQ(stats.nested, 0u);
        EXPECT_EQ(contiguityFault(h.get()), "");
        EXPECT_EQ(h->flags[0], FIDX_FOLDER | FIDX_ROOT);
        EXPECT_EQ(nameOf(h.get(), 0), root);
    }
}

}  // namespace
}  // namespace quorvanta::index_engine::test
