#include "platform/events/InotifySource.h"

#include "platform/dispatch/SerialQueue.h"
#include "platform/events/StreamChannel.h"
#include "platform/fs/PathText.h"
#include "platform/thread/ThreadName.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <list>
#include <map>
#include <mutex>
#include <thread>
#include <unordered_map>

namespace quorvanta::platform {
namespace {

constexpr std::size_t kReadBytes = 64 * 1024;
constexpr std::size_t kHistorySlack = 1024;

// A folder's modification time, or none when it cannot be examined.
std::optional<std::pair<std::int64_t, long>> folderTime(const std::string& path) {
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) return std::nullopt;
    return std::make_pair(static_cast<std::int64_t>(st.st_mtim.tv_sec), st.st_mtim.tv_nsec);
}

}  // namespace

std::uint32_t inotifyWatchMask() {
    return IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_MODIFY | IN_CLOSE_WRITE | IN_ATTRIB |
           IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR | IN_DONT_FOLLOW | IN_EXCL_UNLINK;
}

InotifyDecoding decodeInotify(const char* buffer, std::size_t length,
                              const std::function<const std::string*(int wd)>& pathOf) {
    InotifyDecoding out;
    for (std::size_t at = 0; at + sizeof(inotify_event) <= length;) {
        inotify_event ev;
        std::memcpy(&ev, buffer + at, sizeof ev);
        const std::size_t total = sizeof ev + ev.len;
        if (total > length - at) break;
        const char* namePtr = buffer + at + sizeof ev;
        const std::string_view name(namePtr, ev.len ? strnlen(namePtr, ev.len) : 0);
        at += total;
        if (ev.mask & IN_Q_OVERFLOW) {
            out.overflow = true;
            continue;
        }
        if (ev.mask & IN_IGNORED) {
            out.forgotten.push_back(ev.wd);
            continue;
        }
        const std::string* folder = pathOf(ev.wd);
        if (!folder) continue;
        if (ev.mask & IN_UNMOUNT) {
            out.events.push_back(FileEvent{0, kUnmount, *folder});
            continue;
        }
        std::string path = name.empty() ? *folder : joinPath(*folder, name);
        if (!name.empty() && (ev.mask & IN_ISDIR) && (ev.mask & (IN_CREATE | IN_MOVED_TO)))
            out.newFolders.push_back(path);
        out.events.push_back(FileEvent{0, 0, std::move(path)});
    }
    return out;
}

struct InotifySource::Core : std::enable_shared_from_this<Core> {
    struct Stream {
        std::shared_ptr<StreamChannel> channel;
        Clock::Duration latency{};
        std::vector<FileEvent> pending;  // mutex
        bool armed = false;              // mutex; a latency timer is pending
    };
    struct HistoryItem {
        std::uint64_t id = 0;
        std::string item;
        std::uint32_t flags = 0;
    };
    struct Polled {
        std::optional<std::pair<std::int64_t, long>> time;
    };

    Core(Clock& c, AddWatch add) : clock(c), addWatch(std::move(add)) {
        if (!addWatch)
            addWatch = [](int fd, const char* path, std::uint32_t mask) { return inotify_add_watch(fd, path, mask); };
        const auto micros =
            std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::system_clock::now().time_since_epoch());
        startId = nextId = historyFloor = static_cast<std::uint64_t>(std::max<std::int64_t>(micros.count(), 1));
    }

    Clock& clock;
    AddWatch addWatch;
    int fd = -1;
    int wakeFd = -1;
    std::thread reader;
    std::unique_ptr<SerialQueue> pollQueue;  // mutex (the pointer)
    std::mutex readMutex;                    // held through each read-and-handle

    mutable std::mutex mutex;  // guards everything below
    std::unordered_map<int, std::string> byWd;
    std::unordered_map<std::string, int> byPath;
    std::map<std::string, Polled> polled;
    bool pollArmed = false;
    std::uint64_t startId = 0;
    std::uint64_t nextId = 0;                              // the latest id given
    std::uint64_t historyFloor = 0;                        // history before this id is lost
    std::unordered_map<std::string, HistoryItem> history;  // by folder
    std::list<std::shared_ptr<Stream>> streams;

    void startReader() {
        fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        if (fd < 0 || wakeFd < 0) {  // no instance, or no way to end a reader: every folder is polled
            if (fd >= 0) ::close(fd);
            if (wakeFd >= 0) ::close(wakeFd);
            fd = wakeFd = -1;
            return;
        }
        reader = std::thread([this] {
            setCurrentThreadName("quorvanta.inotify");
            for (;;) {
                pollfd fds[2] = {{fd, POLLIN, 0}, {wakeFd, POLLIN, 0}};
                if (::poll(fds, 2, -1) < 0 && errno != EINTR) return;
                if (fds[1].revents) return;
                if (fds[0].revents) readAndHandle();
            }
        });
    }

    void stopReader() {
        if (reader.joinable()) {
            const std::uint64_t one = 1;
            (void)!::write(wakeFd, &one, sizeof one);
            reader.join();
        }
        if (fd >= 0) ::close(fd);
        if (wakeFd >= 0) ::close(wakeFd);
        fd = wakeFd = -1;
    }

    void readAndHandle() {
        if (fd < 0) return;
        std::lock_guard reading(readMutex);  // the reader thread and drain() read in turn
        alignas(inotify_event) char buffer[kReadBytes];
        for (;;) {
            const ssize_t got = ::read(fd, buffer, sizeof buffer);
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) return;
            std::lock_guard guard(mutex);
            const InotifyDecoding d = decodeInotify(buffer, static_cast<std::size_t>(got), [&](int wd) {
                const auto it = byWd.find(wd);
                return it == byWd.end() ? nullptr : &it->second;
            });
            handleLocked(d);
        }
    }

    void handleLocked(const InotifyDecoding& d) {
        for (FileEvent e : d.events) {
            e.id = ++nextId;
            if (e.flags == 0) remember(e);
            deliverLocked(e);
        }
        for (const std::string& folder : d.newFolders) watchLocked(folder);
        for (const int wd : d.forgotten) {
            const auto it = byWd.find(wd);
            if (it == byWd.end()) continue;
            const auto p = byPath.find(it->second);
            if (p != byPath.end() && p->second == wd) byPath.erase(p);
            byWd.erase(it);
        }
        if (d.overflow) {
            // Changes were lost: every stream rescans its scopes, and the history says no more.
            history.clear();
            historyFloor = ++nextId;
            for (const auto& s : streams)
                for (const std::string& scope : s->channel->scopes())
                    queueLocked(*s, FileEvent{nextId, kKernelDropped, scope});
        }
    }

    void remember(const FileEvent& e) {
        history[parentPath(e.path)] = HistoryItem{e.id, e.path, e.flags};
        if (history.size() > byWd.size() + polled.size() + kHistorySlack) {
            history.clear();
            historyFloor = e.id;
        }
    }

    void deliverLocked(const FileEvent& e) {
        for (const auto& s : streams)
            if (s->channel->covers(e.path)) queueLocked(*s, e);
    }

    void queueLocked(Stream& s, FileEvent e) {
        s.pending.push_back(std::move(e));
        if (s.latency <= Clock::Duration::zero()) {
            s.channel->post(std::exchange(s.pending, {}));
            return;
        }
        if (s.armed) return;
        s.armed = true;
        std::weak_ptr<Core> core = weak_from_this();
        std::weak_ptr<Stream> stream = findStream(&s);
        clock.scheduleAfter(s.latency, [core, stream] {
            const auto c = core.lock();
            const auto st = stream.lock();
            if (!c || !st) return;
            std::lock_guard guard(c->mutex);
            c->flushLocked(*st);
        });
    }

    std::shared_ptr<Stream> findStream(const Stream* s) {
        for (const auto& p : streams)
            if (p.get() == s) return p;
        return nullptr;
    }

    void flushLocked(Stream& s) {
        s.armed = false;
        s.channel->post(std::exchange(s.pending, {}));
    }

    void watchLocked(const std::string& path) {
        if (fd >= 0) {
            const int wd = addWatch(fd, path.c_str(), inotifyWatchMask());
            if (wd >= 0) {
                // The same folder keeps its descriptor; a new path (after a rename) replaces the old.
                const auto old = byWd.find(wd);
                if (old != byWd.end() && old->second != path) byPath.erase(old->second);
                byWd[wd] = path;
                byPath[path] = wd;
                polled.erase(path);
                return;
            }
            if (errno != ENOSPC) return;  // gone, not a folder, not allowed: nothing to watch
        }
        if (polled.count(path)) return;
        polled[path] = Polled{folderTime(path)};
        armPollLocked();
    }

    void armPollLocked() {
        if (pollArmed || polled.empty()) return;
        pollArmed = true;
        if (!pollQueue) pollQueue = std::make_unique<SerialQueue>("quorvanta.poll", Qos::background, clock);
        std::weak_ptr<Core> core = weak_from_this();
        clock.scheduleAfter(kPollInterval, [core] {
            const auto c = core.lock();
            if (!c) return;
            std::lock_guard guard(c->mutex);
            if (c->pollQueue)
                c->pollQueue->async([core] {
                    if (const auto c2 = core.lock()) c2->pollOnce();
                });
        });
    }

    void pollOnce() {
        std::vector<std::pair<std::string, Polled>> folders;
        {
            std::lock_guard guard(mutex);
            folders.assign(polled.begin(), polled.end());
        }
        std::vector<std::pair<std::string, std::optional<std::pair<std::int64_t, long>>>> now;
        for (const auto& [path, seen] : folders) now.emplace_back(path, folderTime(path));
        std::lock_guard guard(mutex);
        for (std::size_t k = 0; k < folders.size(); ++k) {
            const auto& [path, seen] = folders[k];
            const auto& time = now[k].second;
            if (time == seen.time || !polled.count(path)) continue;
            // A changed folder is listed again (its item "."); a vanished one through its parent.
            FileEvent e{++nextId, 0, time ? joinPath(path, ".") : path};
            if (time)
                polled[path].time = time;
            else
                polled.erase(path);
            remember(e);
            deliverLocked(e);
        }
        pollArmed = false;
        armPollLocked();
    }
};

namespace {

class InotifyStream final : public EventStream {
public:
    explicit InotifyStream(std::function<void()> remove) : remove_(std::move(remove)) {}
    ~InotifyStream() override { remove_(); }

private:
    std::function<void()> remove_;
};

}  // namespace

InotifySource::InotifySource(Clock& clock, AddWatch addWatch)
    : core_(std::make_shared<Core>(clock, std::move(addWatch))) {
    core_->startReader();
}

InotifySource::~InotifySource() {
    core_->stopReader();
    std::unique_ptr<SerialQueue> poll;
    {
        std::lock_guard guard(core_->mutex);
        poll = std::move(core_->pollQueue);
    }
    poll.reset();  // runs or drops the poll that was queued, on this thread's watch
}

std::uint64_t InotifySource::currentId() {
    std::lock_guard guard(core_->mutex);
    return core_->nextId;
}

std::optional<std::string> InotifySource::eventLogIdentity(dev_t) { return std::nullopt; }

void InotifySource::watchFolder(const std::string& path) {
    std::lock_guard guard(core_->mutex);
    core_->watchLocked(path);
}

std::unique_ptr<EventStream> InotifySource::open(const std::vector<std::string>& scopes, std::uint64_t since,
                                                 Clock::Duration latency, Executor& target, FileEventBatch batch) {
    auto stream = std::make_shared<Core::Stream>();
    stream->channel = std::make_shared<StreamChannel>(scopes, target, std::move(batch));
    stream->latency = latency;
    std::lock_guard guard(core_->mutex);
    Core& c = *core_;
    std::vector<FileEvent> replay;
    if (since < c.historyFloor) {
        for (const std::string& scope : scopes) replay.push_back(FileEvent{c.nextId, kMustScanSubDirs, scope});
    } else {
        for (const auto& [folder, item] : c.history)
            if (item.id > since && stream->channel->covers(item.item))
                replay.push_back(FileEvent{item.id, item.flags, item.item});
        std::sort(replay.begin(), replay.end(), [](const FileEvent& a, const FileEvent& b) { return a.id < b.id; });
    }
    replay.push_back(FileEvent{std::max(since, c.nextId), kHistoryDone, ""});
    stream->channel->post(std::move(replay));
    c.streams.push_back(stream);
    std::weak_ptr<Core> weak = core_;
    return std::make_unique<InotifyStream>([weak, stream] {
        stream->channel->close();
        if (const auto core = weak.lock()) {
            std::lock_guard guard(core->mutex);
            core->streams.remove(stream);
        }
    });
}

void InotifySource::drain() {
    SerialQueue* poll;
    {
        std::lock_guard guard(core_->mutex);
        poll = core_->pollQueue.get();  // lives as long as the source
    }
    if (poll) poll->sync([] {});
    core_->readAndHandle();
    std::lock_guard guard(core_->mutex);
    for (const auto& s : core_->streams) core_->flushLocked(*s);
}

std::size_t InotifySource::watchedFolders() const {
    std::lock_guard guard(core_->mutex);
    return core_->byWd.size();
}

std::size_t InotifySource::polledFolders() const {
    std::lock_guard guard(core_->mutex);
    return core_->polled.size();
}

}  // namespace quorvanta::platform
