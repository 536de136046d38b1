#include "app/TopMost.h"

#include <QWidget>
#include <gtest/gtest.h>

namespace zarvello {
namespace {

TEST(TopMost, OnFromConstructionAndEveryAssignmentApplies)
{
    QWidget form;
    auto* top = new TTopMost(&form);
    EXPECT_TRUE(top->OnTop());
    EXPECT_EQ(top->applications(), 1);
    top->setOnTop(true);
    top->setOnTop(true);
    EXPECT_EQ(top->applications(), 3) << "no comparison with the previous value";
    top->setOnTop(false);
    EXPECT_FALSE(top->OnTop());

    QObject plain;
    TTopMost detached(&plain);
    detached.setOnTop(false);
    EXPECT_FALSE(detached.OnTop());
    EXPECT_EQ(detached.applications(), 0) << "without a window only the value is kept";
}

} // namespace
} // namespace zarvello
