// Shared main of every test program but the Qt ones (tests/support/qt/QtTestMain.cpp): each run
// gets a fresh temporary home.
#include "tests/support/TestHome.h"

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    const auto home = quorvanta::test::setUpTestHome();
    if (!home) return 2;
    testing::InitGoogleTest(&argc, argv);
    const int rc = RUN_ALL_TESTS();
    quorvanta::test::removeTestHome(*home);
    return rc;
}
