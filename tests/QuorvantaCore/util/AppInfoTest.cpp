#include "QuorvantaCore/util/AppInfo.h"

#include <gtest/gtest.h>

namespace quorvanta::core {
namespace {

TEST(AppInfo, NamesTheProductAndAReverseDomainIdentifier) {
    EXPECT_EQ(AppInfo::name(), "Quorvanta");
    EXPECT_EQ(&AppInfo::name(), &AppInfo::name()) << "computed once";
    EXPECT_EQ(AppInfo::bundleID(), "org.quorvanta.Quorvanta");
}

}  // namespace
}  // namespace quorvanta::core
