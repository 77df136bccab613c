#include "QuorvantaCore/audio_table/AudioTable.h"
#include "QuorvantaCore/index/VolumeIndex.h"

#include <gtest/gtest.h>

namespace quorvanta::core {
namespace {

TEST(VolumeIndexAudio, VersionFollowsTheAttachedTable) {
    const auto index = VolumeIndex::create(100, 1 << 12, {});
    EXPECT_EQ(index->audioVersion(), 0u);

    auto table = std::make_shared<AudioTable>();
    table->upsert({{1, 10, {}}});
    table->upsert({{2, 10, {}}});
    index->setAudio(table);
    EXPECT_EQ(index->audioVersion(), 2u);
    table->upsert({});
    EXPECT_EQ(index->audioVersion(), 2u);
    table->upsert({{3, 10, {}}});
    EXPECT_EQ(index->audioVersion(), 3u);

    // A fresh table (a loaded one, say) starts again from 0.
    index->setAudio(std::make_shared<AudioTable>());
    EXPECT_EQ(index->audioVersion(), 0u);
    index->setAudio(nullptr);
    EXPECT_EQ(index->audioVersion(), 0u);
}

TEST(VolumeIndexAudio, AttachedOnceAndKept) {
    const auto index = VolumeIndex::create(100, 1 << 12, {});
    const auto table = index->audioAttached();
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(index->audio(), table);
    EXPECT_EQ(index->audioAttached(), table);
}

}  // namespace
}  // namespace quorvanta::core
