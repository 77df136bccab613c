#include "platform/volumes/MountMonitor.h"

#include "platform/diagnostics/Verbose.h"
#include "platform/notify/Connection.h"
#include "platform/thread/ThreadName.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <set>
#include <system_error>
#include <utility>

namespace quorvanta::platform {
namespace {

using MountKey = std::pair<std::uint64_t, std::string_view>;

std::set<MountKey> keysOf(const std::vector<MountEntry>& table) {
    std::set<MountKey> keys;
    for (const MountEntry& entry : table) keys.emplace(entry.mountID, entry.mountPoint);
    return keys;
}

// The whole table through the monitor's own descriptor, from its start; none on a read error.
std::optional<std::vector<MountEntry>> readTable(int fd) {
    if (lseek(fd, 0, SEEK_SET) < 0) return std::nullopt;
    std::string text;
    char buffer[16384];
    while (true) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return std::nullopt;
        if (n == 0) break;
        text.append(buffer, static_cast<std::size_t>(n));
    }
    return parseMountInfo(text);
}

void complain(const char* what) {
    if (verbose()) std::fprintf(stderr, "mount monitor: %s: %s\n", what, std::strerror(errno));
}

class SystemMountSource final : public MountSource {
public:
    std::unique_ptr<MountObservation> observe(Executor& target, MountEvents events) override {
        auto monitor = std::make_unique<MountMonitor>(target, std::move(events));
        if (!monitor->watching()) return nullptr;
        return monitor;
    }
};

}  // namespace

std::vector<MountChange> diffMounts(const std::vector<MountEntry>& before, const std::vector<MountEntry>& after) {
    const std::set<MountKey> was = keysOf(before);
    const std::set<MountKey> is = keysOf(after);
    std::vector<MountChange> changes;
    for (const MountEntry& entry : before)
        if (!is.contains({entry.mountID, entry.mountPoint}))
            changes.push_back({MountChange::Kind::gone, entry.mountPoint});
    for (const MountEntry& entry : after)
        if (!was.contains({entry.mountID, entry.mountPoint}))
            changes.push_back({MountChange::Kind::appeared, entry.mountPoint});
    return changes;
}

MountMonitor::MountMonitor(Executor& target, MountEvents events, std::filesystem::path file)
    : target_(target),
      events_(std::make_shared<const MountEvents>(std::move(events))),
      slot_(std::make_shared<Slot>()) {
    tableFd_ = open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (tableFd_ < 0) {
        complain("opening the mount table");
        return;
    }
    wakeFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    // The first table is read here, so that every change after construction is reported.
    std::optional<std::vector<MountEntry>> table = readTable(tableFd_);
    if (wakeFd_ < 0 || !table) {
        complain(wakeFd_ < 0 ? "making the wake-up descriptor" : "reading the mount table");
        return;
    }
    try {
        thread_ = std::thread([this, first = std::move(*table)]() mutable { run(std::move(first)); });
    } catch (const std::system_error&) {
        complain("starting the thread");
    }
}

MountMonitor::~MountMonitor() {
    slot_->disconnect();
    if (thread_.joinable()) {
        const std::uint64_t one = 1;
        while (write(wakeFd_, &one, sizeof one) < 0 && errno == EINTR) {}
        thread_.join();
    }
    if (wakeFd_ >= 0) close(wakeFd_);
    if (tableFd_ >= 0) close(tableFd_);
}

void MountMonitor::run(std::vector<MountEntry> table) {
    setCurrentThreadName("quorvanta.mounts");
    while (true) {
        pollfd fds[2] = {{tableFd_, POLLPRI, 0}, {wakeFd_, POLLIN, 0}};
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            complain("waiting for the mount table");
            return;
        }
        if (fds[1].revents != 0) return;
        // The kernel marks the table with POLLERR and POLLPRI together when it changed.
        if ((fds[0].revents & (POLLPRI | POLLERR)) == 0) continue;
        std::optional<std::vector<MountEntry>> now = readTable(tableFd_);
        if (!now) {
            complain("reading the mount table");
            continue;
        }
        report(diffMounts(table, *now));
        table = std::move(*now);
    }
}

void MountMonitor::report(const std::vector<MountChange>& changes) {
    for (const MountChange& change : changes) {
        target_.post([slot = slot_, events = events_, change] {
            slot->invoke([&] {
                const auto& handler = change.kind == MountChange::Kind::appeared ? events->appeared : events->gone;
                if (handler) handler(change.mountPoint);
            });
        });
    }
}

std::shared_ptr<MountSource> systemMountSource() {
    static const std::shared_ptr<MountSource> source = std::make_shared<SystemMountSource>();
    return source;
}

}  // namespace quorvanta::platform
