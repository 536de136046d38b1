#include "ClientSession.h"

#include <QApplication>
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

namespace zarvello {
e2e::X11Session* session = nullptr;
} // namespace zarvello

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    if (GTEST_FLAG_GET(list_tests))
        return RUN_ALL_TESTS();
    std::unique_ptr<zarvello::e2e::X11Session> x11;
    try {
        x11 = std::make_unique<zarvello::e2e::X11Session>();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "cannot start the test X session: %s\n", error.what());
        return 1;
    }
    // This process is the Qt client under test, on the private server.
    qputenv("DISPLAY", x11->display().toLocal8Bit());
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);
    zarvello::session = x11.get();
    return RUN_ALL_TESTS();
}
