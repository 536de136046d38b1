#include "app/ScreenDocker.h"

#include <QWidget>
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace zarvello {
namespace {

// The message the docker's constructor refuses its owner with; empty when accepted.
std::string refusal(QObject* owner)
{
    try {
        const TScreenDocker docker(owner);
        return {};
    } catch (const std::logic_error& e) {
        return e.what();
    }
}

TEST(ScreenDockerComponent, RefusesNonFormsAndASecondDockerThenSnapsWhileActive)
{
    QWidget form;
    QWidget child(&form);
    QObject plain;
    EXPECT_EQ(refusal(&plain), "TScreenDocker can only be placed on a TForm.");
    EXPECT_EQ(refusal(&child), "TScreenDocker can only be placed on a TForm.");

    form.resize(180, 63);
    auto* docker = new TScreenDocker(&form);
    EXPECT_EQ(refusal(&form), "Only one instance of TScreenDocker is allowed per form.");
    EXPECT_EQ(form.findChildren<TScreenDocker*>().size(), 1);

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
