#include "widgets/StandInFonts.h"

#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    // Widget tests paint off screen, so they run the same with or without an X server.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // The program's own stand-ins, so that texts are measured as users see them.
    zarvello::registerStandInFonts();
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
