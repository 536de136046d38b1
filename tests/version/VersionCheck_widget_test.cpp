#include "version/VersionCheck.h"

#include "meter/ThdTimer.h"
#include "net/AsyncSocket.h"
#include "platform/AllocatorStats.h"
#include "support/FakeLinkOpener.h"
#include "support/LoopbackServer.h"
#include "support/Wait.h"
#include "version/Mem_Form.h"
#include "version/Piece.h"
#include "version/Version_Form.h"
#include "widgets/URLLabel.h"

#include <QLabel>
#include <QRegularExpression>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <tuple>
#include <vector>

namespace zarvello {
namespace {

using test::LoopbackServer;

TEST(Piece, TakesTheNthPieceBetweenSeparatorsUpToTheFirstZero)
{
    using std::tuple;
    using Z = QLatin1StringView; // keeps embedded zero characters
                                 // {text, separator (only its first character counts), n, piece}
                                 // clang-format off
    for (const auto& [text, separator, n, piece] : {
             tuple{Z("2.2:www.example.org"), ":", 1, "2.2"}, tuple{Z("2.2:www.example.org"), ":", 2, "www.example.org"},
             tuple{Z("2.2:www.example.org"), ":", 3, ""}, tuple{Z("2.2:host:8080/x"), ":", 3, "8080/x"},
             tuple{Z("2.1"), ":", 1, "2.1"}, tuple{Z("2.1"), ":", 2, ""}, tuple{Z(":x"), ":", 1, ""},
             tuple{Z(":x"), ":", 2, "x"}, tuple{Z("a::b"), ":", 2, ""}, tuple{Z("a::b"), ":", 3, "b"},
             tuple{Z("a:"), ":", 2, ""}, tuple{Z(""), ":", 1, ""}, tuple{Z("a:b"), "", 1, ""},
             tuple{Z("a:b"), ":", 0, ""}, tuple{Z("a:b"), ":", -1, ""}, tuple{Z("a:b;c"), ";:", 1, "a:b"},
             tuple{Z("2.1\0:x", 6), ":", 1, "2.1"}, tuple{Z("2.1\0:x", 6), ":", 2, ""},
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
    explicit Rig(quint16 port, const QString& host = QStringLiteral("127.0.0.1"))
        : notice(nullptr, &opener), check(&notice, host, port)
    {
        check.setPause([this] { ++pauses; });
    }
    test::FakeLinkOpener opener{{"http", "mailto"}};
    TForm_Version notice;
    TVersionCheck check;
    int pauses = 0;
};

TEST(VersionCheck, ShowsTheNoticeWhenTheReplyNamesAnotherVersion)
{
    using std::tuple;
    using B = QByteArray;
    // {reply, notice shown, version as shown, address (empty: not checked)}
    // clang-format off
    for (const auto& [reply, shown, ver, url] : {
             tuple{B("2.1"), false, QString("2.1"), ""},
             tuple{B("2.2:www.example.org/download"), true, QString("2.2"), "www.example.org/download"},
             tuple{B("2.10:www.example.org"), true, QString("2.10"), "www.example.org"}, // compared as text
             tuple{B("2.2:www.example.org:8080/x"), true, QString("2.2"), "www.example.org"},
             tuple{B("2.1:www.example.org"), false, QString("2.1"), "www.example.org"},
             tuple{B(":www.example.org"), true, QString(""), "www.example.org"},
             tuple{B("2.1\r\n"), true, QString("2.1\u240D\u240A"), ""}, // a line end shown visibly
             tuple{B("<b>2.2</b>:example.org"), true, QString("<b>2.2</b>"), "example.org"},
             tuple{B("2.1\0:evil.example.org", 21), false, QString("2.1"), ""}, // the text ends at a zero
             tuple{B("2.2:dl.example.org\0:x", 21), true, QString("2.2"), "dl.example.org"}}) {
        // clang-format on
        SCOPED_TRACE(reply.toStdString());
        LoopbackServer server(LoopbackServer::Behaviour::ReplyToRequest, reply);
        Rig rig(server.port());
        EXPECT_FALSE(rig.check.started());
        rig.check.start();
        rig.check.start(); // only the first start in a run asks
        ASSERT_TRUE(waitUntil([&] { return rig.check.dataEventCount() == 1; }));
        EXPECT_EQ(server.received(), "Zarvello");
        EXPECT_EQ(server.connections(), 1);
        EXPECT_EQ(rig.pauses, 0) << "no second Connect on a busy socket";
        EXPECT_EQ(rig.check.reply(), QString::fromLatin1(reply));
        EXPECT_EQ(rig.notice.isVisible(), shown);
        EXPECT_EQ(rig.notice.Ver()->text(), ver);
        EXPECT_GE(rig.notice.Ver()->width(), rig.notice.Ver()->sizeHint().width());
        if (*url != '\0') {
            EXPECT_EQ(rig.notice.URLLabel1()->URL(), url);
        }
        EXPECT_EQ(rig.notice.URLLabel1()->Caption(), kMakerWebAddress) << "the caption stays";
    }
}

TEST(VersionCheck, ClickingTheLinkHidesTheNoticeAndOpensTheAddress)
{
    LoopbackServer server(LoopbackServer::Behaviour::ReplyToRequest, "2.2:www.example.org/get");
    Rig rig(server.port());
    rig.check.start();
    ASSERT_TRUE(waitUntil([&] { return rig.notice.isVisible(); }));
    rig.notice.URLLabel1()->click();
    EXPECT_TRUE(rig.notice.isHidden());
    EXPECT_EQ(rig.opener.opened, QStringList{"http://www.example.org/get"});
}

TEST(VersionCheck, OnlyTheFirstPartOfAReplyIsReadAndAtMostItsCap)
{
    LoopbackServer server(LoopbackServer::Behaviour::ReplyToRequest, "2.2:first.example.org");
    Rig rig(server.port());
    rig.check.start();
    ASSERT_TRUE(waitUntil([&] { return rig.check.dataEventCount() == 1; }));
    server.send("/more:second");
    ASSERT_TRUE(waitUntil([&] { return rig.check.dataEventCount() == 2; }));
    EXPECT_EQ(rig.check.reply(), "2.2:first.example.org");
    EXPECT_EQ(rig.notice.URLLabel1()->URL(), "first.example.org");
    EXPECT_EQ(rig.check.Socket1()->BytesAvailable(), 12) << "the second part stays unread";

    const QByteArray huge = "2.2:" + QByteArray(1 << 20, 'a');
    LoopbackServer flood(LoopbackServer::Behaviour::ReplyToRequest, huge);
    Rig flooded(flood.port());
    flooded.check.start();
    ASSERT_TRUE(waitUntil([&] { return flooded.check.dataEventCount() >= 1; }));
    EXPECT_EQ(flooded.notice.Ver()->text(), "2.2");
    EXPECT_EQ(flooded.check.reply().toLatin1(), huge.left(TVersionCheck::kMaxReplyBytes));
    // Far more than the cap has left the server; the client still holds no more than the cap.
    ASSERT_TRUE(waitUntil([&] { return flood.written() >= 64 * 1024; }));
    QCoreApplication::processEvents();
    EXPECT_LE(flooded.check.Socket1()->BytesAvailable(), TVersionCheck::kMaxReplyBytes);
}

TEST(VersionCheck, FailuresAreSilent)
{
    using Behaviour = LoopbackServer::Behaviour;
    using Settled = std::function<bool(const Rig&, const LoopbackServer*)>;
    const Settled paused = [](const Rig& rig, const LoopbackServer*) { return rig.pauses > 0; };
    const Settled asked = [](const Rig&, const LoopbackServer* s) {
        return s->received() == "Zarvello";
    };
    const Settled closed = [](const Rig& rig, const LoopbackServer*) {
        return rig.check.Socket1()->State() == wsClosed;
    };
    // {what, server (none: nobody listens), host, when the check has got as far as it ever will}
    const std::vector<std::tuple<const char*, std::optional<Behaviour>, QString, Settled>> rows{
        {"connection refused", std::nullopt, "127.0.0.1", paused},
        {"unresolvable name", std::nullopt, QString(70, u'x') + ".invalid", paused},
        {"server never answers", Behaviour::Silent, "127.0.0.1", asked},
        {"server closes at once", Behaviour::CloseAtOnce, "127.0.0.1", closed}};
    for (const auto& [what, behaviour, host, settled] : rows) {
        SCOPED_TRACE(what);
        const auto server = behaviour ? std::make_unique<LoopbackServer>(*behaviour) : nullptr;
        Rig rig(server ? server->port() : test::unusedLoopbackPort(), host);
        rig.check.start();
        ASSERT_TRUE(
            waitUntil([&] { return rig.check.started() && settled(rig, server.get()); }, 20000));
        EXPECT_EQ(rig.check.dataEventCount(), 0u);
        EXPECT_EQ(rig.notice.Ver()->text(), "Ver");
        EXPECT_TRUE(rig.notice.isHidden());
    }
}

TEST(Form_Version, ShowsEveryTextWholeAndPlain)
{
    test::FakeLinkOpener opener;
    const TForm_Version form(nullptr, &opener);
    EXPECT_TRUE(form.isHidden()) << "created hidden";
    for (const QLabel* label :
         std::initializer_list<QLabel*>{form.Label1(), form.Label2(), form.Ver(), form.Label3(),
                                        static_cast<QLabel*>(form.URLLabel1())}) {
        EXPECT_EQ(label->textFormat(), Qt::PlainText) << label->text().toStdString();
        EXPECT_GE(label->width(), label->sizeHint().width()) << label->text().toStdString();
    }
    // "The new version is v" runs straight into the version, wherever the font ends it.
    EXPECT_GE(form.Ver()->x(), form.Label2()->geometry().right() + 1);
    EXPECT_EQ(form.Ver()->y(), form.Label2()->y());
    EXPECT_EQ(form.URLLabel1()->URL(), kMakerWebAddress);
}

struct FixedStats : AllocatorStats
{
    std::uint32_t allocatedBytes() override { return bytes; }
    std::uint32_t bytes = 1234567;
};

TEST(Form_Mem, CountsFromTheFirstTickAfterOpenAndOnWhileHidden)
{
    FixedStats stats;
    TForm_Mem form(nullptr, &stats);
    EXPECT_FALSE(form.Timer()->Enabled()) << "idle until opened";
    form.Timer()->setInterval(20);
    form.Open();
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(form.Mem()->text(), "Mem") << "until the first tick";
    ASSERT_TRUE(waitUntil([&] { return form.Mem()->text() == "Mem Allocated: 1234567"; }));
    EXPECT_GE(form.Mem()->width(), form.Mem()->sizeHint().width());
    EXPECT_TRUE(form.close());
    stats.bytes = 4294967295u;
    ASSERT_TRUE(waitUntil([&] { return form.Mem()->text() == "Mem Allocated: 4294967295"; }))
        << "closing only hides";

    TForm_Mem system; // the process's own figure by default
    system.Timer()->setInterval(20);
    system.Open();
    ASSERT_TRUE(waitUntil([&] { return system.Mem()->text() != "Mem"; }));
    EXPECT_TRUE(
        QRegularExpression("^Mem Allocated: [0-9]+$").match(system.Mem()->text()).hasMatch())
        << system.Mem()->text().toStdString();
}

} // namespace
} // namespace zarvello
