#include "QuorvantaCore/observe/Published.h"
#include "QuorvantaCore/observe/Signal.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace quorvanta::core {
namespace {

TEST(Signal, CallsReceiversInConnectOrderUntilTheirTokenIsDropped) {
    Signal<int, std::string> signal;
    std::vector<std::string> log;
    auto a = signal.connect([&](int n, const std::string& s) { log.push_back("a" + std::to_string(n) + s); });
    auto b = signal.connect([&](int n, const std::string& s) { log.push_back("b" + std::to_string(n) + s); });
    signal.emit(1, "x");
    b.disconnect();
    EXPECT_FALSE(b.connected());
    EXPECT_TRUE(a.connected());
    signal.emit(2, "y");
    { auto moved = std::move(a); }  // the link moves with the token and ends with its new owner
    signal.emit(3, "z");
    EXPECT_EQ(log, (std::vector<std::string>{"a1x", "b1x", "a2y"}));
    EXPECT_EQ(signal.receiverCount(), 0u);
}

TEST(Signal, EmitWhileReceiversDisconnect) {
    // Receivers 0, 1, 2 in connect order; receiver 1 drops the token of `target` while called.
    struct Case {
        const char* what;
        int target;
        std::vector<int> firstEmit;
        std::vector<int> secondEmit;
    };
    const Case cases[] = {
        {"itself", 1, {0, 1, 2}, {0, 2}},
        {"a later receiver", 2, {0, 1}, {0, 1}},
        {"an earlier receiver", 0, {0, 1, 2}, {1, 2}},
    };
    for (const auto& c : cases) {
        Signal<> signal;
        std::vector<int> calls;
        std::optional<Connection> tokens[3];
        for (int i = 0; i < 3; ++i)
            tokens[i] = signal.connect([&, i] {
                calls.push_back(i);
                if (i == 1) tokens[c.target].reset();
            });
        signal.emit();
        EXPECT_EQ(calls, c.firstEmit) << c.what;
        calls.clear();
        signal.emit();
        EXPECT_EQ(calls, c.secondEmit) << c.what;
    }
}

TEST(Signal, ReceiverConnectedDuringEmitSeesTheNextOne) {
    Signal<> signal;
    int late = 0;
    std::optional<Connection> lateToken;
    auto token = signal.connect([&] {
        if (!lateToken) lateToken = signal.connect([&] { ++late; });
    });
    signal.emit();
    signal.emit();
    EXPECT_EQ(late, 1);
}

TEST(Signal, NoReceiverRunsAfterItsTokenWasDroppedOnAnotherThread) {
    Signal<int> signal;
    std::atomic<bool> stop{false};
    std::atomic<int> afterDrop{0};
    std::atomic<long> delivered{0};
    std::vector<std::thread> emitters;
    for (int e = 0; e < 3; ++e)
        emitters.emplace_back([&] {
            while (!stop.load()) signal.emit(1);
        });
    std::vector<std::thread> connectors;
    for (int c = 0; c < 3; ++c)
        connectors.emplace_back([&] {
            for (int i = 0; i < 500; ++i) {
                auto dropped = std::make_shared<std::atomic<bool>>(false);
                auto token = signal.connect([&, dropped](int n) {
                    if (dropped->load()) afterDrop.fetch_add(1);
                    delivered.fetch_add(n);
                });
                std::this_thread::yield();
                token.disconnect();
                dropped->store(true);
            }
        });
    for (auto& t : connectors) t.join();
    stop = true;
    for (auto& t : emitters) t.join();
    EXPECT_EQ(afterDrop.load(), 0) << "a receiver ran after its token was dropped";
    EXPECT_EQ(signal.receiverCount(), 0u);
}

TEST(Published, ObserversGetTheNewValueWhileTheFieldStillHoldsTheOld) {
    Signal<> objectWillChange;
    Published<std::string> choice("system", &objectWillChange);
    std::vector<std::string> log;
    auto whole = objectWillChange.connect([&] { log.push_back("object will change from " + *choice); });
    auto field =
        choice.observe([&](const std::string& next) { log.push_back("field " + choice.get() + " -> " + next); });
    choice.set("de");
    EXPECT_EQ(choice.get(), "de");
    field.disconnect();
    choice.set("ja");
    EXPECT_EQ(log, (std::vector<std::string>{"object will change from system", "field system -> de",
                                             "object will change from de"}));
    EXPECT_EQ(choice->size(), 2u);
}

}  // namespace
}  // namespace quorvanta::core
