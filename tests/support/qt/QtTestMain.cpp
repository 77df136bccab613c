// Main of the Qt test programs: the shared temporary home (with a private XDG_RUNTIME_DIR, which
// Qt wants), the offscreen platform unless another is set, and one QApplication for the whole run,
// configured as the application configures its own (Fusion style, LC_NUMERIC back to "C").
#include "QuorvantaApp/shell/QtApplication.h"
#include "tests/support/TestHome.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <cstdlib>
#include <filesystem>
#include <optional>

int main(int argc, char** argv) {
    const auto home = quorvanta::test::setUpTestHome();
    if (!home) return 2;
    const auto runtime = *home / "runtime";
    std::filesystem::create_directory(runtime);
    chmod(runtime.c_str(), 0700);
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);

    testing::InitGoogleTest(&argc, argv);
    int rc = 0;
    {
        QApplication application(argc, argv);
        quorvanta::app::configureApplication();
        rc = RUN_ALL_TESTS();
    }
    quorvanta::test::removeTestHome(*home);
    return rc;
}
