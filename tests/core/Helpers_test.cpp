#include "core/MulDiv.h"
#include "core/Piece.h"
#include "core/XdgPaths.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <tuple>
#include <utility>

using namespace Qt::StringLiterals;

namespace zarvello {
namespace {

// Halves round away from zero.
static_assert(mulDiv(255, 1, 2) == 128 && mulDiv(-255, 1, 2) == -128 && mulDiv(254, 1, 3) == 85);

// The everyday pieces are checked through the version reply; these are the edges.
TEST(Piece, IsEmptyWithoutASeparatorBelowPieceOneAndPastTheLastPiece)
{
    const std::tuple<QStringView, int, QString> rows[] = {
        {u":", 1, u"a"_s}, {u":", 2, u"b"_s}, {u":", 0, {}}, {u":", 3, {}}, {u"", 1, {}}};
    for (const auto& [separator, n, expected] : rows) {
        EXPECT_EQ(piece(u"a:b", separator, n), expected) << n;
    }
}

TEST(XdgPaths, OnlyAbsoluteBaseDirectoriesAreFollowed)
{
    const char* const names[] = {"XDG_CONFIG_HOME", "XDG_STATE_HOME", "XDG_RUNTIME_DIR"};
    const QByteArray saved[] = {qgetenv(names[0]), qgetenv(names[1]), qgetenv(names[2])};
    const auto foldersFor = [&names](const QList<QByteArray>& values) {
        for (int i = 0; i < 3; ++i) {
            qputenv(names[i], values[i % values.size()]);
        }
        return QStringList{XdgPaths::configFolder(), XdgPaths::stateFolder(),
                           XdgPaths::runtimeDirectory()};
    };
    QTemporaryDir dir;
    const QString cwd = QDir::currentPath();
    ASSERT_TRUE(dir.isValid() && QDir::setCurrent(dir.path()) && QDir().mkdir(u"here"_s));
    // Open to others, so that Qt's own runtime-folder check refuses it as well.
    ASSERT_TRUE(QFile::setPermissions(u"here"_s, QFileDevice::Permissions(0x7755)));
    const QStringList fallback = foldersFor({""});
    EXPECT_EQ(fallback.mid(0, 2), QStringList({QDir::homePath() + u"/.config/zarvello"_s,
                                               QDir::homePath() + u"/.local/state/zarvello"_s}));
    const QString missing = dir.filePath(u"no/such"_s);
    const std::pair<QByteArray, QStringList> rows[] = {
        {dir.path().toUtf8(),
         {dir.path() + u"/zarvello"_s, dir.path() + u"/zarvello"_s, dir.path()}},
        // A runtime folder must exist, or be made.
        {missing.toUtf8(), {missing + u"/zarvello"_s, missing + u"/zarvello"_s, fallback[2]}},
        {"here", fallback},   // it exists, but relative to wherever the program started
        {":/here", fallback}, // Qt would take it for a resource path
    };
    for (const auto& [value, expected] : rows) {
        EXPECT_EQ(foldersFor({value}), expected) << value.constData();
    }
    QDir::setCurrent(cwd);
    foldersFor({saved[0], saved[1], saved[2]});
}

} // namespace
} // namespace zarvello
