#include "app/ScreenDocker.h"

#include <QWidget>
#include <gtest/gtest.h>

#include <stdexcept>

namespace zarvello {
namespace {

TEST(ScreenDockerComponent, RefusesNonFormsAndASecondDocker)
{
    QWidget form;
    QWidget child(&form);
    QObject plain;
    EXPECT_THROW(
        {
            try {
                TScreenDocker docker(&plain);
            } catch (const std::logic_error& e) {
                EXPECT_STREQ(e.what(), "TScreenDocker can only be placed on a TForm.");
                throw;
            }
        },
        std::logic_error);
    EXPECT_THROW(TScreenDocker{&child}, std::logic_error);

    auto* first = new TScreenDocker(&form);
    try {
        TScreenDocker second(&form);
        ADD_FAILURE() << "a second docker was accepted";
    } catch (const std::logic_error& e) {
        EXPECT_STREQ(e.what(), "Only one instance of TScreenDocker is allowed per form.");
    }
    EXPECT_EQ(form.findChildren<TScreenDocker*>().size(), 1);
    EXPECT_EQ(first->parent(), &form);
    EXPECT_TRUE(first->Active()) << "the first keeps working";
}

TEST(ScreenDockerComponent, MovingSnapsOnlyWhileActiveAndReportsEdges)
{
    QWidget form;
    form.resize(180, 63);
    auto* docker = new TScreenDocker(&form);
    EXPECT_EQ(docker->DockDistance(), 10);
    EXPECT_EQ(docker->DockArea(), daWorkArea);
    EXPECT_EQ(docker->DockableTo(), kAllEdges);
    int calls = 0;
    docker->setOnDocked([&](TScreenDocker* sender, TScreenEdge& edge) {
        EXPECT_EQ(sender, docker);
        EXPECT_EQ(edge, seLeft);
        ++calls;
    });
    const TRect proposed{6, 300, 186, 363};
    EXPECT_EQ(docker->moving(proposed), (TRect{0, 300, 180, 363}));
    EXPECT_EQ(calls, 1);
    docker->setActive(false);
    EXPECT_EQ(docker->moving(proposed), proposed);
    EXPECT_EQ(calls, 1);
}

} // namespace
} // namespace zarvello
