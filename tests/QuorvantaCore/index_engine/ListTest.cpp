#include "tests/QuorvantaCore/index_engine/TreeFixture.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

namespace quorvanta::index_engine::test {
namespace {

// name -> flags of a listing's records
std::map<std::string, int> records(const fidx_listing& l) {
    std::map<std::string, int> out;
    for (uint32_t i = 0; i < l.count; ++i)
        out[reinterpret_cast<const char*>(l.names + l.recs[i].name)] = l.recs[i].flags;
    return out;
}

TEST(List, OneFolderOrTheReasonItIsGone) {
    quorvanta::test::TempDir tmp;
    const std::string dir = (tmp / "dir").string();
    makeDir(dir);
    makeDir(dir + "/sub");
    makeDir(dir + "/sub/deeper");
    makeFile(dir + "/song.MP3", 5);
    makeFile(dir + "/notes.txt", 7);
    makeFile(dir + "/.hidden.mp3");
    ASSERT_EQ(symlink("sub", (tmp / "link").c_str()), 0);
    makeFile((tmp / "file").string());
    Index mp3Only = newIndex();
    const char* mp3[] = {"mp3"};
    fidx_set_include_exts(mp3Only.get(), mp3, 1);

    struct Case {
        const char* what;
        fidx* handle;
        std::string path;
        uint8_t inherited;
        int result;
        int error;
        std::map<std::string, int> expected;
    };
    const Case cases[] = {
        {"a folder",
         nullptr,
         dir,
         0,
         0,
         0,
         {{"sub", FIDX_FOLDER}, {"song.MP3", 0}, {"notes.txt", 0}, {".hidden.mp3", FIDX_HIDDEN}}},
        {"inherited junk and hidden",
         nullptr,
         dir,
         FIDX_JUNK | FIDX_HIDDEN,
         0,
         0,
         {{"sub", FIDX_FOLDER | FIDX_JUNK | FIDX_HIDDEN},
          {"song.MP3", FIDX_JUNK | FIDX_HIDDEN},
          {"notes.txt", FIDX_JUNK | FIDX_HIDDEN},
          {".hidden.mp3", FIDX_JUNK | FIDX_HIDDEN}}},
        {"the include filter of a handle",
         mp3Only.get(),
         dir,
         0,
         0,
         0,
         {{"sub", FIDX_FOLDER}, {"song.MP3", 0}, {".hidden.mp3", FIDX_HIDDEN}}},
        {"a vanished path", nullptr, (tmp / "gone").string(), 0, -1, ENOENT, {}},
        {"a file", nullptr, (tmp / "file").string(), 0, -1, ENOTDIR, {}},
        {"a link to a folder", nullptr, (tmp / "link").string(), 0, -1, ENOTDIR, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fidx_listing l{};
        l.count = 77;  // overwritten
        errno = 0;
        EXPECT_EQ(fidx_list(c.handle, c.path.c_str(), c.inherited, &l), c.result);
        if (c.result != 0) {
            EXPECT_EQ(errno, c.error);
            EXPECT_EQ(l.count, 0u);
            EXPECT_EQ(l.recs, nullptr);
        }
        EXPECT_EQ(records(l), c.expected);
        for (uint32_t i = 0; i < l.count; ++i) {
            const std::string name = reinterpret_cast<const char*>(l.names + l.recs[i].name);
            EXPECT_EQ(l.recs[i].size, name == "song.MP3" ? 5u : name == "notes.txt" ? 7u : 0u) << name;
            EXPECT_EQ(reinterpret_cast<const char*>(l.folded + l.recs[i].name), [&] {
                std::string f = name;
                for (char& ch : f) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
                return f;
            }());
        }
        fidx_listing_free(&l);
        EXPECT_EQ(l.names, nullptr);
    }
}

}  // namespace
}  // namespace quorvanta::index_engine::test
