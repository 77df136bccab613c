// A bounded load on a local API socket: a fixed number of requests shared by a number of
// concurrent clients, each request a fresh connection through LocalAPIClient, ended early by a
// time cap. Every reply is checked. Used by the local_api_load benchmark and, in a short run,
// by the tests (which look only at the counts).
#pragma once

#include "QuorvantaCore/api/LocalAPIClient.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace quorvanta::bench {

struct LoadResult {
    std::int64_t answered = 0;  // replies that passed the check
    std::int64_t wrong = 0;     // replies that did not, or another client error
    std::int64_t refused = 0;   // connections closed without a byte (the server was full)
    double seconds = 0;
    std::vector<double> latencyMs;  // of every answered request, sorted

    std::int64_t attempts() const { return answered + wrong + refused; }
    double percentileMs(double p) const {
        if (latencyMs.empty()) return 0;
        const auto at = static_cast<std::size_t>(p * static_cast<double>(latencyMs.size() - 1) + 0.5);
        return latencyMs[std::min(at, latencyMs.size() - 1)];
    }
};

inline LoadResult runLoad(const std::string& socketPath, const std::string& request, int clients, std::int64_t requests,
                          std::chrono::milliseconds cap, const std::function<bool(const std::string& reply)>& check) {
    using Clock = std::chrono::steady_clock;
    std::atomic<std::int64_t> next{0}, answered{0}, wrong{0}, refused{0};
    std::mutex lock;
    LoadResult result;
    const auto start = Clock::now();
    const auto end = start + cap;
    std::vector<std::thread> threads;
    for (int c = 0; c < clients; ++c) {
        threads.emplace_back([&] {
            std::vector<double> mine;
            while (next.fetch_add(1) < requests && Clock::now() < end) {
                const auto sent = Clock::now();
                try {
                    const std::string reply = core::LocalAPIClient::send(request, socketPath);
                    if (!check(reply)) {
                        wrong.fetch_add(1);
                        continue;
                    }
                    answered.fetch_add(1);
                    mine.push_back(std::chrono::duration<double, std::milli>(Clock::now() - sent).count());
                } catch (const core::LocalAPIClient::ClientError& error) {
                    (error.kind() == core::LocalAPIClient::ClientError::Case::io ? refused : wrong).fetch_add(1);
                }
            }
            std::lock_guard guard(lock);
            result.latencyMs.insert(result.latencyMs.end(), mine.begin(), mine.end());
        });
    }
    for (std::thread& thread : threads) thread.join();
    result.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    result.answered = answered;
    result.wrong = wrong;
    result.refused = refused;
    std::sort(result.latencyMs.begin(), result.latencyMs.end());
    return result;
}

}  // namespace quorvanta::bench
