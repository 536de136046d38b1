#include <QCoreApplication>
#include <gtest/gtest.h>

// Unit tests need an event loop (the timer hands ticks to this thread) but no display.
int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
