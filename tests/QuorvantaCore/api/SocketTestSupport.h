// Small helpers for the local API's socket tests: a connected client descriptor, whole reads and
// writes, and a bounded wait for a condition that another thread makes true.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <string_view>

namespace quorvanta::test {

// A descriptor closed with the object.
class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd();
    Fd(Fd&& other) noexcept : fd_(other.release()) {}
    Fd& operator=(Fd&& other) noexcept;
    int get() const { return fd_; }
    int release();
    void reset();

private:
    int fd_;
};

// A blocking stream socket connected to the path (close-on-exec), or -1 with errno set.
Fd connectUnix(const std::string& path);

// A listening socket bound at the path (close-on-exec); throws on failure.
Fd listenUnix(const std::string& path);

bool writeAll(int fd, std::string_view bytes);

// Everything until end of stream (or an error, or `timeout` without a byte).
std::string readToEnd(int fd, std::chrono::milliseconds timeout = std::chrono::seconds(20));

// Polls `condition` until it holds or `limit` passes; returns its last value.
bool eventually(const std::function<bool()>& condition, std::chrono::milliseconds limit = std::chrono::seconds(20));

}  // namespace quorvanta::test
