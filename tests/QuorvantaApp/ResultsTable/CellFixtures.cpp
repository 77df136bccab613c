#include "tests/QuorvantaApp/ResultsTable/CellFixtures.h"

#include "QuorvantaCore/index/VolumeIndex.h"
#include "platform/time/Clock.h"

#include <gtest/gtest.h>

namespace quorvanta::app::test {
namespace {

VolumeContext context() {
    static platform::FakeClock clock;
    VolumeContext c;
    c.mounts = [] { return VolumeContext::MountTable{}; };
    c.volumeUUID = [](const platform::MountEntry&) { return std::optional<std::string>{}; };
    c.clock = &clock;
    return c;
}

std::shared_ptr<VolumeState> emptyOnline(const Drive& drive) {
    VolumeState::Online online;
    online.name = drive.name;
    online.root = drive.root;
    online.isInternal = drive.isInternal;
    online.displayPrefix = drive.displayPrefix;
    online.scopes = {drive.root};
    online.persist = false;
    return VolumeState::create(online, context());
}

}  // namespace

std::shared_ptr<VolumeState> onlineVolume(const Drive& drive, const std::vector<core::test::IndexEntry>& entries) {
    auto volume = emptyOnline(drive);
    core::test::appendEntries(*volume->index(), entries);
    return volume;
}

std::shared_ptr<VolumeState> scannedVolume(const Drive& drive) {
    auto volume = emptyOnline(drive);
    volume->index()->scan({drive.root}, 1, 0);
    return volume;
}

std::shared_ptr<VolumeState> offlineVolume(const std::string& name, const std::string& root,
                                           std::shared_ptr<core::VolumeIndex> index) {
    core::SnapshotInfo info;
    info.root = root;
    return VolumeState::create(VolumeState::Offline{name, root, "/nowhere/catalog.idx", std::move(index), info},
                               context());
}

std::uint32_t entryNamed(const core::VolumeIndex& index, std::string_view name) {
    for (std::uint32_t i = 0; i < index.count(); ++i)
        if (index.name(i) == name) return i;
    ADD_FAILURE() << "no entry named " << name;
    return 0;
}

}  // namespace quorvanta::app::test
