#include "platform/events/RecordedSource.h"

#include "platform/fs/ReadWholeFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace quorvanta::platform {

struct RecordedSource::Channels {
    std::list<std::shared_ptr<StreamChannel>> open;  // the source's mutex
};

namespace {

class ChannelStream final : public EventStream {
public:
    ChannelStream(std::function<void()> remove, std::shared_ptr<StreamChannel> channel)
        : remove_(std::move(remove)), channel_(std::move(channel)) {}
    ~ChannelStream() override {
        channel_->close();
        remove_();
    }

private:
    std::function<void()> remove_;
    std::shared_ptr<StreamChannel> channel_;
};

}  // namespace

RecordedSource::RecordedSource(Journal journal)
    : journal_(std::move(journal)), channels_(std::make_shared<Channels>()) {}

std::shared_ptr<RecordedSource> RecordedSource::fromFile(const std::string& path) {
    const std::optional<std::string> bytes = readWholeFile(path, 1ull << 30);
    if (!bytes) return nullptr;
    std::optional<Journal> journal = parseJournal(*bytes);
    if (!journal) return nullptr;
    return std::make_shared<RecordedSource>(std::move(*journal));
}

std::uint64_t RecordedSource::currentId() {
    std::lock_guard guard(mutex_);
    return journal_.events.empty() ? 0 : journal_.events.back().id;
}

std::optional<std::string> RecordedSource::eventLogIdentity(dev_t) {
    std::lock_guard guard(mutex_);
    return journal_.identity;
}

void RecordedSource::watchFolder(const std::string&) {}

std::unique_ptr<EventStream> RecordedSource::open(const std::vector<std::string>& scopes, std::uint64_t since,
                                                  Clock::Duration, Executor& target, FileEventBatch batch) {
    auto channel = std::make_shared<StreamChannel>(scopes, target, std::move(batch));
    std::lock_guard guard(mutex_);
    std::vector<FileEvent> replay;
    for (const FileEvent& e : journal_.events)
        if (e.id > since) channel->select(e, replay);
    const std::uint64_t current = journal_.events.empty() ? since : std::max(since, journal_.events.back().id);
    replay.push_back(FileEvent{current, kHistoryDone, ""});
    channel->post(std::move(replay));
    channels_->open.push_back(channel);
    auto it = std::prev(channels_->open.end());
    return std::make_unique<ChannelStream>(
        [this, it] {
            std::lock_guard guard(mutex_);
            channels_->open.erase(it);
        },
        channel);
}

void RecordedSource::push(std::vector<FileEvent> events) {
    std::lock_guard guard(mutex_);
    std::vector<FileEvent> kept;
    for (FileEvent& e : events) {
        if (!journal_.events.empty() && e.id <= journal_.events.back().id) continue;
        journal_.events.push_back(e);
        kept.push_back(std::move(e));
    }
    for (const auto& channel : channels_->open) {
        std::vector<FileEvent> mine;
        for (const FileEvent& e : kept) channel->select(e, mine);
        channel->post(std::move(mine));
    }
}

Journal RecordedSource::journal() const {
    std::lock_guard guard(mutex_);
    return journal_;
}

RecordingSource::RecordingSource(std::shared_ptr<EventSource> live, std::string path, std::string identity)
    : live_(std::move(live)), queue_("quorvanta.journal", Qos::utility) {
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_APPEND, 0600);
    if (fd_ < 0) return;
    const std::string header = journalHeader(identity);
    if (::write(fd_, header.data(), header.size()) != static_cast<ssize_t>(header.size())) {
        ::close(fd_);
        fd_ = -1;
        return;
    }
    recorder_ = live_->open({"/"}, live_->currentId(), Clock::Duration::zero(), queue_,
                            [this](const std::vector<FileEvent>& events) { write(events); });
}

RecordingSource::~RecordingSource() {
    recorder_.reset();
    queue_.sync([] {});
    if (fd_ >= 0) ::close(fd_);
}

void RecordingSource::sync() {
    queue_.sync([] {});
}

void RecordingSource::write(const std::vector<FileEvent>& events) {
    std::string bytes;
    for (const FileEvent& e : events)
        if (!(e.flags & kHistoryDone)) bytes += journalRecord(e);
    for (std::size_t done = 0; done < bytes.size();) {
        const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        done += static_cast<std::size_t>(n);
    }
}

}  // namespace quorvanta::platform
