#include "core/XdgPaths.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <tuple>

using namespace Qt::StringLiterals;

namespace zarvello {
namespace {

TEST(XdgPaths, OnlyAbsoluteBaseDirectoriesAreFollowed)
{
    const char* const variables[] = {"XDG_CONFIG_HOME", "XDG_STATE_HOME", "XDG_RUNTIME_DIR"};
    QByteArray saved[3];
    for (int i = 0; i < 3; ++i) {
        saved[i] = qgetenv(variables[i]); // an empty one stands for none
    }
    QTemporaryDir dir;
    const QString savedCwd = QDir::currentPath();
    ASSERT_TRUE(dir.isValid() && QDir::setCurrent(dir.path()) && QDir().mkdir(u"here"_s));
    qputenv("XDG_RUNTIME_DIR", "");
    const QString qtRuntime = XdgPaths::runtimeDirectory();
    const QString config = QDir::homePath() + u"/.config/zarvello"_s;
    const QString state = QDir::homePath() + u"/.local/state/zarvello"_s;
    const struct
    {
        QByteArray value;
        std::tuple<QString, QString, QString> expected; // config, state, runtime
    } rows[] = {
        {dir.path().toUtf8(),
         {dir.path() + u"/zarvello"_s, dir.path() + u"/zarvello"_s, dir.path()}},
        {"here", {config, state, qtRuntime}}, // it exists, but relative to where we started
        {dir.filePath(u"no/such"_s).toUtf8(), // a runtime folder must exist (or be made)
         {dir.filePath(u"no/such/zarvello"_s), dir.filePath(u"no/such/zarvello"_s), qtRuntime}},
        {":/here", {config, state, qtRuntime}}, // Qt would take it for a resource path
        {"", {config, state, qtRuntime}},
    };
    for (const auto& row : rows) {
        for (const char* variable : variables) {
            qputenv(variable, row.value);
        }
        EXPECT_EQ(std::tuple(XdgPaths::configFolder(), XdgPaths::stateFolder(),
                             XdgPaths::runtimeDirectory()),
                  row.expected)
            << row.value.constData();
    }
    QDir::setCurrent(savedCwd);
    for (int i = 0; i < 3; ++i) {
        qputenv(variables[i], saved[i]);
    }
}

} // namespace
} // namespace zarvello
