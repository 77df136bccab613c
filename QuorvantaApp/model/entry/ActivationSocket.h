// The activation socket: how a second launch asks the running instance to show itself again. It
// is a Unix-domain stream socket ("app.activate" in the data folder, mode 0600) that only the
// instance holding the data folder's lock binds, so a socket found there is either that
// instance's or a leftover of one that ended.
//
// One exchange per connection: the launch sends a request record and reads one answer record
// (ActivationMessage, below). Each end checks that the other is a process of the same user
// (SO_PEERCRED) and drops the connection otherwise.
//
// Threads: ActivationListener's own thread accepts and answers; the reopen it is given runs on
// the main queue, never on that thread. askToReopen blocks its caller for at most `answerWait`.
#pragma once

#include "platform/dispatch/MainQueue.h"

#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace quorvanta::app {

// The request and the answer: 16 bytes each way, in the machine's own byte order (both ends run
// on one machine).
//
//   offset  size  field
//        0     8  magic "QRVTACTV"
//        8     4  version (1)
//       12     4  kind: reopen (request); reopening or quitting (answer)
struct ActivationMessage {
    static constexpr char kMagic[8] = {'Q', 'R', 'V', 'T', 'A', 'C', 'T', 'V'};
    static constexpr std::uint32_t kVersion = 1;

    enum class Kind : std::uint32_t {
        reopen = 1,     // request: show yourself again
        reopening = 2,  // answer: the reopen is queued on the main queue
        quitting = 3,   // answer: this instance is quitting; wait for the lock instead
    };

    char magic[8];
    std::uint32_t version;
    std::uint32_t kind;

    static ActivationMessage of(Kind kind);
    // Whether the record has the magic and the version.
    bool valid() const;
};
static_assert(sizeof(ActivationMessage) == 16);
static_assert(offsetof(ActivationMessage, magic) == 0);
static_assert(offsetof(ActivationMessage, version) == 8);
static_assert(offsetof(ActivationMessage, kind) == 12);

// Listens on the activation socket of the running instance.
class ActivationListener {
public:
    // Why the socket could not be made. The instance runs on without it; a second launch then
    // reports that it cannot reach it.
    struct Failure {
        enum class Case { pathTooLong, notOurs, socket };
        Case kind;
        int errnoValue = 0;  // for `socket`
        // "pathTooLong", "notOurs" or "socket(<errno>)".
        std::string description() const;
    };

    // How long a peer may take to send its request before it is dropped.
    static constexpr std::chrono::milliseconds kRequestDeadline{1000};

    // Binds and listens at `path`, removing a leftover socket of the same user first (call it
    // only while holding the data folder's lock). Connections wait in the backlog until serve().
    // Null, with `failure` filled in, when it cannot.
    static std::unique_ptr<ActivationListener> bind(const std::string& path, Failure& failure);

    // Stops the thread and removes the socket file if it is still the one bound here.
    ~ActivationListener();
    ActivationListener(const ActivationListener&) = delete;
    ActivationListener& operator=(const ActivationListener&) = delete;

    // Starts the thread that answers requests: each reopen request posts `reopen` to `main` and
    // is answered "reopening"; once `main` is shutting down it is answered "quitting" and nothing
    // is posted. A posted reopen that runs after this listener is gone does nothing. Once.
    void serve(platform::MainQueue& main, std::function<void()> reopen);

    const std::string& path() const { return path_; }

private:
    ActivationListener(std::string path, int fd, int wake, dev_t device, ino_t inode);
    void run(platform::MainQueue& main, std::weak_ptr<std::function<void()>> reopen);
    void answer(int connection, platform::MainQueue& main, const std::weak_ptr<std::function<void()>>& reopen);

    const std::string path_;
    const int fd_;
    const int wake_;  // an eventfd: written once to stop the thread
    const dev_t device_;
    const ino_t inode_;
    // Owned here and released on the main thread; posted tasks hold it weakly.
    std::shared_ptr<std::function<void()>> reopen_;
    std::thread thread_;
};

// What asking the running instance gave.
enum class ActivationAnswer {
    reopening,        // it queued the reopen
    quitting,         // it is quitting
    nobodyListening,  // no socket, nobody accepting, or the connection closed without an answer
    silent,           // it accepted but gave no valid answer within the wait
    notOurs,          // the socket belongs to a process of another user
    pathTooLong,      // the path does not fit a socket address
};

// Asks the instance listening at `path` to show itself again.
ActivationAnswer askToReopen(const std::string& path, std::chrono::milliseconds answerWait);

}  // namespace quorvanta::app
