// Helpers of the api and mcp command tests: a fixture tree, the local API test host serving it,
// and a recording server that answers every request with a canned reply.
#pragma once

#include "QuorvantaCore/json/JSONText.h"
#include "tests/support/RunProgram.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace quorvanta::cli::test {

// A small tree with names that hold "remix" in several spellings, in files and a folder.
inline void writeRemixTree(const quorvanta::test::TempDir& dir, const std::string& root) {
    for (const char* file : {"Song A (Remix).mp3", "song-b-REMIX.flac", "notes.txt", "remixes/c remix.wav",
                             "remixes/other.txt", "deep/x/y/remix.aiff", "deep/x/plain.pdf"})
        dir.write(root + "/" + file, "x");
}

// How many entries `find` lists under root (root included), optionally only names matching the
// case-insensitive pattern.
inline std::int64_t findCount(const std::filesystem::path& root, const std::string& iname = "") {
    std::vector<std::string> args{root.string()};
    if (!iname.empty()) args.insert(args.end(), {"-iname", iname});
    const auto found = quorvanta::test::runProgram("/usr/bin/find", args);
    if (found.status != 0) throw std::runtime_error("find failed: " + found.err);
    std::int64_t lines = 0;
    for (char c : found.out) lines += c == '\n';
    return lines;
}

// The one JSON line a command printed (a failed expectation, and null, when it is not one).
inline nlohmann::json parsedLine(const std::string& out) {
    EXPECT_TRUE(!out.empty() && out.back() == '\n') << out;
    const auto parsed = core::parseJSONStrict(out.substr(0, out.size() - 1));
    EXPECT_TRUE(parsed) << out;
    return parsed.value_or(nlohmann::json());
}

// The test host program, empty when this build has none (the tests that need it then skip, and
// say so).
inline std::string testHostPath() {
#ifdef QUORVANTA_API_TESTHOST_PATH
    return QUORVANTA_API_TESTHOST_PATH;
#else
    return {};
#endif
}

// quorvanta-api-testhost serving the roots on the socket until stop() or destruction.
class TestHost {
public:
    TestHost(const std::filesystem::path& socket, const std::vector<std::filesystem::path>& roots) {
        std::vector<std::string> args{"--socket", socket.string()};
        for (const auto& root : roots) args.push_back(root.string());
        host_ = std::make_unique<quorvanta::test::RunningProgram>(testHostPath(), args);
        const auto ready = host_->readLine(std::chrono::minutes(2));
        if (ready != "ready") throw std::runtime_error("the test host did not get ready");
    }
    void stop() {
        if (host_) host_->finish();
        host_.reset();
    }

private:
    std::unique_ptr<quorvanta::test::RunningProgram> host_;
};

// A Unix socket that records each request line and answers it with the canned reply and a line
// feed, on a thread of its own, until destroyed.
class RecordingServer {
public:
    RecordingServer(const std::filesystem::path& path, std::string reply) : reply_(std::move(reply)) {
        fd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
        if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(fd_, 4) != 0)
            throw std::runtime_error("cannot listen at " + path.string());
        thread_ = std::thread([this] { serve(); });
    }
    ~RecordingServer() {
        stopping_ = true;
        thread_.join();
        ::close(fd_);
    }
    std::vector<std::string> requests() const {
        std::lock_guard lock(mutex_);
        return requests_;
    }

private:
    void serve() {
        while (!stopping_) {
            pollfd ready{fd_, POLLIN, 0};
            if (::poll(&ready, 1, 50) <= 0) continue;
            const int connection = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
            if (connection < 0) continue;
            std::string line;
            char c;
            while (::read(connection, &c, 1) == 1 && c != '\n') line += c;
            {
                std::lock_guard lock(mutex_);
                requests_.push_back(line);
            }
            const std::string answer = reply_ + "\n";
            (void)::send(connection, answer.data(), answer.size(), MSG_NOSIGNAL);
            ::close(connection);
        }
    }

    std::string reply_;
    int fd_ = -1;
    std::atomic<bool> stopping_{false};
    mutable std::mutex mutex_;  // guards requests_
    std::vector<std::string> requests_;
    std::thread thread_;
};

}  // namespace quorvanta::cli::test
