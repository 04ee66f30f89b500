#include "engine/CData.h"
#include "maintenance/CUpdateChecker.h"

#include <gtest/gtest.h>

TEST(ContextUpdateCheck, TheContextOwnsOneCheckerFromTheStart)
{
    CData& context = CData::Instance();
    EXPECT_EQ(&context.GetUpdateChecker(), &CData::Instance().GetUpdateChecker());
    // Nothing asked yet: no version known, so no update is offered.
    EXPECT_FALSE(context.GetUpdateChecker().HasLatestVersion());
    EXPECT_FALSE(context.GetUpdateChecker().IsUpdateAvailable());
    EXPECT_FALSE(context.GetUpdateChecker().IsUpdateRequired());
}
