#include "version/VersionCheck.h"

#include "net/AsyncSocket.h"
#include "support/FakeLinkOpener.h"
#include "support/LoopbackServer.h"
#include "support/Wait.h"
#include "version/Piece.h"
#include "version/Version_Form.h"
#include "widgets/URLLabel.h"

#include <QLabel>
#include <gtest/gtest.h>

#include <tuple>

namespace zarvello {
namespace {

using test::LoopbackServer;

TEST(Piece, TakesTheNthPieceBetweenSeparatorsUpToTheFirstZero)
{
    using std::tuple;
    using Z = QLatin1StringView; // keeps embedded zero characters
                                 // clang-format off
    // {text, separator (only its first character counts), n, piece}
    for (const auto& [text, separator, n, piece] : {
             tuple{Z("2.2:www.example.org"), ":", 1, "2.2"}, tuple{Z("2.2:www.example.org"), ":", 2, "www.example.org"},
             tuple{Z("2.2:host:8080/x"), ":", 3, "8080/x"}, tuple{Z("2.1"), ":", 2, ""}, tuple{Z("a::b"), ":", 2, ""},
             tuple{Z("a:b"), "", 1, ""}, tuple{Z("a:b"), ":", 0, ""}, tuple{Z("a:b;c"), ";:", 1, "a:b"},
             tuple{Z("2.2:host\0:x", 11), ":", 2, "host"}, tuple{Z("\0a:b", 4), ":", 1, ""}}) {
        // clang-format on
        EXPECT_EQ(Piece(QString(text), QString::fromLatin1(separator), n),
                  QString::fromLatin1(piece))
            << QString(text).toStdString() << " / " << separator << " / " << n;
    }
}

// A notice and a check aimed at a loopback port, the error pause counted instead of slept.
struct Rig
{
    explicit Rig(quint16 port) : notice(nullptr, &opener), check(&notice, "127.0.0.1", port)
    {
        check.setPause([this] { ++pauses; });
    }
    test::FakeLinkOpener opener{{"http", "mailto"}};
    TForm_Version notice;
    TVersionCheck check;
    int pauses = 0;
};

TEST(VersionCheck, AsksOnceAndShowsTheNoticeWhenTheReplyNamesAnotherVersion)
{
    using std::tuple;
    using B = QByteArray;
    // {reply, notice shown, version as shown, address}
    // clang-format off
    for (const auto& [reply, shown, ver, url] : {
             tuple{B("2.1"), false, QString("2.1"), ""},
             tuple{B("2.2:www.example.org/download"), true, QString("2.2"), "www.example.org/download"},
             tuple{B("2.10:www.example.org"), true, QString("2.10"), "www.example.org"}, // compared as text
             tuple{B("2.2:www.example.org:8080/x"), true, QString("2.2"), "www.example.org"},
             tuple{B("2.1:www.example.org"), false, QString("2.1"), "www.example.org"},
             tuple{B(":www.example.org"), true, QString(""), "www.example.org"},
             tuple{B("2.1\r\n\x7f\x85"), true, QString("2.1\u240D\u240A\u2421\uFFFD"), ""}, // control characters shown visibly
             tuple{B("2.1\0:evil.example.org", 21), false, QString("2.1"), ""}}) { // the text ends at a zero
        // clang-format on
        SCOPED_TRACE(reply.toStdString());
        LoopbackServer server(LoopbackServer::Behaviour::ReplyToRequest, reply);
        Rig rig(server.port());
        rig.check.start();
        rig.check.start(); // only the first start in a run asks
        ASSERT_TRUE(waitUntil([&] { return rig.check.dataEventCount() == 1; }));
        EXPECT_EQ(std::tuple(server.received(), server.connections(), rig.pauses),
                  std::tuple(QByteArray("Zarvello"), 1, 0));
        EXPECT_EQ(rig.check.reply(), QString::fromLatin1(reply));
        EXPECT_EQ(rig.notice.isVisible(), shown);
        EXPECT_EQ(rig.notice.Ver()->text(), ver);
        EXPECT_EQ(rig.notice.URLLabel1()->URL(), url);
        EXPECT_EQ(rig.notice.URLLabel1()->Caption(), kMakerWebAddress) << "the caption stays";
        rig.notice.URLLabel1()->click();
        EXPECT_TRUE(rig.notice.isHidden()) << "the link hides the notice";
        EXPECT_EQ(rig.opener.opened, QStringList{"http://" + QString(url)});
    }
}

TEST(VersionCheck, OnlyTheFirstDataEventIsReadAndAtMostItsCap)
{
    const QByteArray huge = "2.2:" + QByteArray(1 << 20, 'a');
    LoopbackServer server(LoopbackServer::Behaviour::ReplyToRequest, huge);
    Rig rig(server.port());
    rig.check.start();
    // What the first read leaves behind is announced again, and ignored.
    ASSERT_TRUE(waitUntil([&] { return rig.check.dataEventCount() >= 2; }));
    EXPECT_EQ(rig.check.reply().toLatin1(), huge.left(TVersionCheck::kMaxReplyBytes));
    EXPECT_EQ(rig.notice.Ver()->text(), "2.2");
}

} // namespace
} // namespace zarvello
