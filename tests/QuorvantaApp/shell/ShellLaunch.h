// A delegate with windows over the serving world's two trees, made in the test's process: its own
// settings store (the panel's frame, the hot key), notification counting, history, alerts and no
// tray, the hot key's registration handed to the test, and the windows' contents it gives.
#pragma once

#include "tests/QuorvantaApp/model/entry/ServingTestSupport.h"

#include "QuorvantaApp/HotKey/HotKey.h"
#include "QuorvantaApp/model/history/SearchHistoryModel.h"
#include "QuorvantaApp/shell/AppDelegate.h"
#include "QuorvantaApp/shell/DialogPresenter.h"
#include "QuorvantaApp/shell/QtMainQueue.h"
#include "QuorvantaApp/shell/Updates.h"
#include "platform/notify/NotificationNames.h"
#include "tests/support/LanguageScope.h"
#include "tests/support/TempDir.h"

#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace quorvanta::app::test {

// Stands in for HotKey::registerCombo: records each combination, keeps the last handler and answers
// with `answer`.
struct RecordingHotKey {
    std::vector<HotKeyCombo> combos;
    HotKey::Handler handler;
    HotKeyStatus answer = HotKeyStatus::registered;

    std::function<HotKeyResult(const HotKeyCombo&, HotKey::Handler)> registrar() {
        return [this](const HotKeyCombo& combo, HotKey::Handler pressed) {
            combos.push_back(combo);
            handler = std::move(pressed);
            return HotKeyResult{answer, {}};
        };
    }
};

struct ShellLaunchOptions {
    // The sources are configured: indexing starts at launch, else the chooser is asked for.
    bool configured = true;
    std::shared_ptr<const AuxWindowRegistry> windows = {};
};

struct ShellLaunch {
    // Runs each task at once, so the test counts the notifications as they are posted.
    struct InlineExecutor final : platform::Executor {
        void post(platform::Task task) override { task(); }
    };

    using Options = ShellLaunchOptions;

    explicit ShellLaunch(Options options = {}) {
        world.settings.setBoolean(LocalAPIHost::kLocalAPIKey, false);
        world.prefs.setConfigured(options.configured);
        model = AppModel::create({}, true, world.lifeDeps(queue));
        focusRequests =
            notifications.observe(platform::notification_names::kFocusSearch, inline_, [this] { ++focusPosts; });
        AppDelegate::Shell shell{settings, notifications, core::Lang::shared(), history, dialogs, updates, nullptr,
                                 [] { return false; }};
        shell.registerHotKey = hotKey.registrar();
        shell.windows = std::move(options.windows);
        ProcessEnd end;
        end.exit = [this](int) { ++ends; };
        delegate = std::make_unique<AppDelegate>(
            AppDelegate::Setup{model, world.host, world.prefs, queue, end, false, std::move(shell)});
    }
    ~ShellLaunch() {
        delegate.reset();
        model->windDown(5s);
    }

    quorvanta::test::LanguageScope language{"en"};
    ServingWorld world;
    QtMainQueue queue{world.clock};
    std::shared_ptr<AppModel> model;
    InlineExecutor inline_;
    platform::MemorySettings settings;
    // The language object posts its change on the standard centre, as the application's pieces do.
    platform::NotificationCenter& notifications = platform::NotificationCenter::standard();
    quorvanta::test::TempDir dir;
    SearchHistoryModel history{dir / "search-history.json"};
    ScriptedDialogs dialogs;
    Updates updates{dialogs};
    RecordingHotKey hotKey;
    platform::Connection focusRequests;
    int focusPosts = 0;
    int ends = 0;
    std::unique_ptr<AppDelegate> delegate;
};

}  // namespace quorvanta::app::test
