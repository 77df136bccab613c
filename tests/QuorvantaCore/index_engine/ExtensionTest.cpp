#include "tests/QuorvantaCore/index_engine/EngineTestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

namespace quorvanta::index_engine::test {
namespace {

TEST(ExtensionRule, GivesIdsByTheFoldedName) {
    WithTestFold fold;
    struct Case {
        std::string name;
        uint8_t flags;
        std::string ext;  // "" = none
    };
    const std::string fifteen(15, 'e'), sixteen(16, 'e');
    const Case cases[] = {
        {"ARCHIVE.TAR.GZ", 0, "gz"},
        {".bashrc", 0, ""},
        {"x.", 0, ""},
        {"..", 0, ""},
        {".", 0, ""},
        {"noext", 0, ""},
        {"x.app", FIDX_FOLDER, ""},
        {"a." + fifteen, 0, fifteen},
        {"a." + sixteen, 0, ""},
        {"Photo.JPG", 0, "jpg"},
        {"photo.jpg", 0, "jpg"},
        {"\xC3\x89t\xC3\xA9.JPG", 0, "jpg"},  // folds to "ete.jpg" + 2 bytes of padding
        {"r\xC3\xA9sum\xC3\xA9.\xC3\x89T\xC3\x89", 0, "ete"},
    };
    Index h = newIndex();
    for (const Case& c : cases) {
        const uint32_t e = commitNames(h.get(), {c.name}, FIDX_NONE, c.flags);
        ASSERT_NE(e, FIDX_NONE);
        EXPECT_EQ(extOf(h.get(), e), c.ext) << "name " << c.name;
    }
    EXPECT_EQ(h->ext[9], h->ext[10]) << "Photo.JPG and photo.jpg share one id";
    EXPECT_EQ(h->ext_count.load(), 5u) << "gz, eeeeeeeeeeeeeee, jpg, ete";
}

TEST(ExtensionRule, NonAsciiNameKeepsItsLengthAndPadding) {
    WithTestFold fold;
    Index h = newIndex();
    const std::string name = "\xC3\x89t\xC3\xA9.JPG";
    const uint32_t e = commitNames(h.get(), {name});
    EXPECT_EQ(foldedOf(h.get(), e), std::string("ete.jpg\x01\x01", 9));
    EXPECT_EQ(h->flags[e], FIDX_NON_ASCII);
    EXPECT_EQ(extOf(h.get(), e), "jpg");
    // A non-ASCII flag handed in for an ASCII name is recomputed by the name store.
    const uint32_t a = commitNames(h.get(), {"plain.txt"}, FIDX_NONE, FIDX_NON_ASCII);
    EXPECT_EQ(h->flags[a], 0);
}

TEST(ExtensionTable, GivesIdsUpTo65534ThenNone) {
    Index h = newIndex(70000, 16u << 20);
    auto extName = [](uint32_t i) {
        char buf[24];
        std::snprintf(buf, sizeof buf, "f.x%x", i);
        return std::string(buf);
    };
    std::vector<std::string> names;
    for (uint32_t i = 1; i <= 65535; ++i) {
        names.push_back(extName(i));
        if (names.size() == 4096 || i == 65535) {
            ASSERT_NE(commitNames(h.get(), names), FIDX_NONE);
            names.clear();
        }
    }
    for (uint32_t i = 0; i < 65534; ++i) ASSERT_EQ(h->ext[i], i + 1) << "entry " << i;
    EXPECT_EQ(h->ext[65534], 0) << "the table is full";
    EXPECT_EQ(h->ext_count.load(), 65535u);
    const uint32_t again = commitNames(h.get(), {"g.X1", "g.xfffe", "g.new"});
    EXPECT_EQ(h->ext[again], 1);
    EXPECT_EQ(h->ext[again + 1], 65534);
    EXPECT_EQ(h->ext[again + 2], 0);

    // A second index given the same table and a hash rebuilt with fidx_ext_insert resolves every
    // text to the same id and hands out no new ones.
    Index copy = newIndex(70000, 16u << 20);
    std::memcpy(copy->ext_names, h->ext_names, sizeof(fidx_ext_text) * 65535);
    copy->ext_count.store(65535);
    for (uint32_t id = 1; id < 65535; ++id) fidx_ext_insert(copy.get(), id);
    for (uint32_t i = 1; i <= 65534; ++i) names.push_back(extName(i));
    ASSERT_NE(commitNames(copy.get(), names), FIDX_NONE);
    for (uint32_t i = 0; i < 65534; ++i) ASSERT_EQ(copy->ext[i], i + 1) << "entry " << i;
    EXPECT_EQ(copy->ext_count.load(), 65535u);
}

TEST(ExtensionTable, InsertIgnoresIdsOutsideTheTable) {
    Index h = newIndex();
    commitNames(h.get(), {"a.mp3"});
    fidx_ext_insert(h.get(), 0);
    fidx_ext_insert(h.get(), 2);
    fidx_ext_insert(h.get(), 70000);
    fidx_ext_insert(h.get(), 1);  // already there: no second slot matters
    const uint32_t e = commitNames(h.get(), {"b.MP3", "c.ogg"});
    EXPECT_EQ(h->ext[e], 1);
    EXPECT_EQ(h->ext[e + 1], 2);
}

}  // namespace
}  // namespace quorvanta::index_engine::test
