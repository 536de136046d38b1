#include "ChildProcess.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    // Orphans of a program under test come to this process, where the tests can see them.
    zarvello::e2e::becomeChildSubreaper();
    QCoreApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
