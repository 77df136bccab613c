#include "platform/notify/NotificationCenter.h"

#include "platform/dispatch/ManualMainQueue.h"
#include "platform/dispatch/SerialQueue.h"
#include "platform/notify/NotificationNames.h"

#include <gtest/gtest.h>

#include <atomic>
#include <optional>
#include <thread>
#include <vector>

namespace quorvanta::platform {
namespace {

namespace names = notification_names;

TEST(NotificationCenter, DeliversOnTheObserversQueueOnlyForItsName) {
    NotificationCenter centre;
    FakeClock clock;
    ManualMainQueue main(clock);
    SerialQueue other("quorvanta.test");
    int onMain = 0, wrongThread = 0, hidden = 0;
    std::atomic<int> onOther{0};
    auto a = centre.observe(names::kLanguageChanged, main, [&] {
        ++onMain;
        if (!main.isMainThread()) ++wrongThread;
    });
    auto b = centre.observe(names::kLanguageChanged, other, [&] {
        if (other.isCurrent()) onOther.fetch_add(1);
    });
    auto c = centre.observe(names::kHideSearch, main, [&] { ++hidden; });

    centre.post(names::kLanguageChanged);
    centre.post(names::kLanguageChanged);
    EXPECT_EQ(onMain, 0) << "delivered before the main queue ran";
    main.drain();
    other.sync([] {});
    EXPECT_EQ(onMain, 2);
    EXPECT_EQ(wrongThread, 0);
    EXPECT_EQ(onOther.load(), 2);
    EXPECT_EQ(hidden, 0);
}

TEST(NotificationCenter, DroppingTheTokenUnsubscribes) {
    struct Case {
        const char* what;
        bool dropBeforePost;  // else after the post, before the queue delivers it
    };
    const Case cases[] = {{"dropped before the post", true}, {"dropped while delivery waits", false}};
    for (const auto& c : cases) {
        NotificationCenter centre;
        FakeClock clock;
        ManualMainQueue main(clock);
        int calls = 0;
        std::optional<Connection> token = centre.observe(names::kFocusSearch, main, [&] { ++calls; });
        if (c.dropBeforePost) token.reset();
        centre.post(names::kFocusSearch);
        token.reset();
        main.drain();
        EXPECT_EQ(calls, 0) << c.what;
    }
}

TEST(NotificationCenter, ObserversMayDropTokensWhileBeingDelivered) {
    NotificationCenter centre;
    FakeClock clock;
    ManualMainQueue main(clock);
    std::vector<std::string> log;
    std::optional<Connection> first, second, third;
    first = centre.observe(names::kShowSourceChooser, main, [&] {
        log.push_back("first");
        first.reset();  // itself
        third.reset();  // one whose delivery is already queued
    });
    second = centre.observe(names::kShowSourceChooser, main, [&] { log.push_back("second"); });
    third = centre.observe(names::kShowSourceChooser, main, [&] { log.push_back("third"); });
    centre.post(names::kShowSourceChooser);
    centre.post(names::kShowSourceChooser);
    main.drain();
    EXPECT_EQ(log, (std::vector<std::string>{"first", "second", "second"}));
}

TEST(NotificationCenter, StandardCentreIsOneForTheProcess) {
    EXPECT_EQ(&NotificationCenter::standard(), &NotificationCenter::standard());
    FakeClock clock;
    ManualMainQueue main(clock);
    int calls = 0;
    auto token = NotificationCenter::standard().observe("quorvanta.test.standard", main, [&] { ++calls; });
    std::thread([] { NotificationCenter::standard().post("quorvanta.test.standard"); }).join();
    main.drain();
    EXPECT_EQ(calls, 1);
}

TEST(NotificationCenter, PostingObservingAndDroppingFromManyThreads) {
    NotificationCenter centre;
    SerialQueue queue("quorvanta.test");
    std::atomic<int> afterDrop{0};
    std::vector<std::thread> threads;
    for (int p = 0; p < 3; ++p)
        threads.emplace_back([&] {
            for (int i = 0; i < 20'000; ++i) centre.post("quorvanta.test.stress");
        });
    for (int o = 0; o < 3; ++o)
        threads.emplace_back([&] {
            for (int i = 0; i < 300; ++i) {
                auto dropped = std::make_shared<std::atomic<bool>>(false);
                auto token = centre.observe("quorvanta.test.stress", queue, [&afterDrop, dropped] {
                    if (dropped->load()) afterDrop.fetch_add(1);
                });
                std::this_thread::yield();
                token.disconnect();
                dropped->store(true);
            }
        });
    for (auto& t : threads) t.join();
    queue.sync([] {});
    EXPECT_EQ(afterDrop.load(), 0) << "a callback ran after its token was dropped";
}

}  // namespace
}  // namespace quorvanta::platform
