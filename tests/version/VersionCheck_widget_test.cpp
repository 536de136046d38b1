#include "version/VersionCheck.h"

#include "meter/ThdTimer.h"
#include "net/AsyncSocket.h"
#include "support/FakeLinkOpener.h"
#include "support/LoopbackServer.h"
#include "support/Wait.h"
#include "version/Version_Form.h"
#include "widgets/URLLabel.h"

#include <QApplication>
#include <QLabel>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>

namespace zarvello {
namespace {

using test::FakeLinkOpener;
using test::LoopbackServer;

// A notice and a check aimed at a loopback port, the error pause counted
// instead of slept.
struct Rig
{
    explicit Rig(quint16 port, const QString& host = QStringLiteral("127.0.0.1"))
        : notice(nullptr, &opener), check(&notice, host, port)
    {
        check.setPause([this] { ++pauses; });
    }
    FakeLinkOpener opener{{QStringLiteral("http"), QStringLiteral("mailto")}};
    TForm_Version notice;
    TVersionCheck check;
    int pauses = 0;
};

int visibleWindows()
{
    int count = 0;
    for (const QWidget* widget : QApplication::topLevelWidgets()) {
        count += widget->isVisible() ? 1 : 0;
    }
    return count;
}

TEST(VersionCheck, ShowsTheNoticeWhenTheReplyNamesAnotherVersion)
{
    struct Case
    {
        QByteArray reply;
        bool shown;
        QString ver; // as the label shows it
        QString url;
    };
    const Case cases[] = {
        {"2.1", false, "2.1", ""},
        {"2.2:www.example.org/download", true, "2.2", "www.example.org/download"},
        {"2.10:www.example.org", true, "2.10", "www.example.org"}, // compared as text
        {"2.2:www.example.org:8080/x", true, "2.2", "www.example.org"},
        {"2.1:www.example.org", false, "2.1", "www.example.org"},
        {":www.example.org", true, "", "www.example.org"}, // an empty version is another one
        {"2.1\r\n", true, QStringLiteral("2.1\u240D\u240A"),
         ""}, // a line end makes it differ, shown visibly
        {"<b>2.2</b>:example.org", true, "<b>2.2</b>", "example.org"},
        {QByteArray("2.1\0:evil.example.org", 21), false, "2.1", ""}, // the text ends at a zero
        {QByteArray("2.2:dl.example.org\0:x", 21), true, "2.2", "dl.example.org"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reply.toStdString());
        LoopbackServer server(LoopbackServer::Behaviour::ReplyToRequest, c.reply);
        Rig rig(server.port());
        rig.check.start();
        ASSERT_TRUE(waitUntil([&] { return rig.check.dataEventCount() == 1; }));

        EXPECT_EQ(server.received(), "Zarvello");
        EXPECT_EQ(rig.check.reply(), QString::fromLatin1(c.reply));
        EXPECT_EQ(rig.notice.isVisible(), c.shown);
        EXPECT_EQ(rig.notice.Ver()->text(), c.ver);
        EXPECT_EQ(rig.notice.Ver()->textFormat(), Qt::PlainText);
        if (!c.url.isEmpty()) {
            EXPECT_EQ(rig.notice.URLLabel1()->URL(), c.url);
        }
        EXPECT_EQ(rig.notice.URLLabel1()->Caption(), kMakerWebAddress) << "the caption stays";
        EXPECT_EQ(rig.pauses, 0);
        rig.notice.hide();
    }
}

TEST(VersionCheck, ClickingTheLinkHidesTheNoticeAndOpensTheAddress)
{
    LoopbackServer server(LoopbackServer::Behaviour::ReplyToRequest,
                          "2.2:www.example.org/download");
    Rig rig(server.port());
    rig.check.start();
    ASSERT_TRUE(waitUntil([&] { return rig.notice.isVisible(); }));

    bool hiddenWhenOpened = false;
    rig.notice.URLLabel1()->setOnClick([&] {
        rig.notice.URLLabel1Click();
        hiddenWhenOpened = rig.notice.isHidden();
    });
    rig.notice.URLLabel1()->click();
    EXPECT_TRUE(hiddenWhenOpened);
    EXPECT_TRUE(rig.notice.isHidden());
    EXPECT_EQ(rig.opener.opened, QStringList{"http://www.example.org/download"});
}

TEST(VersionCheck, OnlyTheFirstPartOfAReplyIsRead)
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
}

TEST(VersionCheck, RunsOnlyOnce)
{
    LoopbackServer server(LoopbackServer::Behaviour::ReplyToRequest, "2.1");
    Rig rig(server.port());
    EXPECT_FALSE(rig.check.started());
    rig.check.start();
    rig.check.start();
    EXPECT_TRUE(rig.check.started());
    ASSERT_TRUE(waitUntil([&] { return rig.check.dataEventCount() == 1; }));
    EXPECT_EQ(server.connections(), 1);
    EXPECT_EQ(rig.pauses, 0) << "no second Connect on a busy socket";
}

TEST(VersionCheck, AHugeReplyIsCutAndNotBuffered)
{
    const QByteArray huge = "2.2:" + QByteArray(1 << 20, 'a');
    LoopbackServer server(LoopbackServer::Behaviour::ReplyToRequest, huge);
    Rig rig(server.port());
    rig.check.start();
    ASSERT_TRUE(waitUntil([&] { return rig.check.dataEventCount() >= 1; }));
    EXPECT_TRUE(rig.notice.isVisible());
    EXPECT_EQ(rig.notice.Ver()->text(), "2.2");
    EXPECT_LE(rig.check.reply().size(), TVersionCheck::kMaxReplyBytes);
    EXPECT_TRUE(huge.startsWith(rig.check.reply().toLatin1()));

    // Far more than the cap has left the server; the client still holds no more than the cap.
    ASSERT_TRUE(waitUntil([&] { return server.written() >= 64 * 1024; }));
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_LE(rig.check.Socket1()->BytesAvailable(), TVersionCheck::kMaxReplyBytes);
}

TEST(VersionCheck, FailuresAreSilentAndTheEventLoopRunsOn)
{
    using Behaviour = LoopbackServer::Behaviour;
    struct Case
    {
        const char* what;
        std::optional<Behaviour> server; // none: nobody listens
        QString host;
        // When the check has got as far as it ever will.
        std::function<bool(const Rig&, const LoopbackServer*)> settled;
    };
    const auto paused = [](const Rig& rig, const LoopbackServer*) { return rig.pauses > 0; };
    const Case cases[] = {
        {"connection refused", std::nullopt, "127.0.0.1", paused},
        {"unresolvable name", std::nullopt, QString(70, u'x') + ".invalid", paused},
        {"server never answers", Behaviour::Silent, "127.0.0.1",
         [](const Rig&, const LoopbackServer* server) { return server->received() == "Zarvello"; }},
        {"server closes at once", Behaviour::CloseAtOnce, "127.0.0.1",
         [](const Rig& rig, const LoopbackServer* server) {
             return server->connections() == 1 && rig.check.Socket1()->State() == wsClosed;
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto server = c.server ? std::make_unique<LoopbackServer>(*c.server) : nullptr;
        Rig rig(server ? server->port() : test::unusedLoopbackPort(), c.host);
        // Stands in for the meter: its ticks only get through a free event loop.
        TThreadedTimer meter;
        int ticks = 0;
        meter.setInterval(10);
        meter.setOnTimer([&](TThreadedTimer*) { ++ticks; });
        meter.setEnabled(true);

        rig.check.start();
        ASSERT_TRUE(waitUntil([&] { return c.settled(rig, server.get()); }, 20000));
        const int ticksThen = ticks;
        ASSERT_TRUE(waitUntil([&] { return ticks >= ticksThen + 2; }));

        EXPECT_EQ(rig.check.dataEventCount(), 0u);
        EXPECT_EQ(rig.notice.Ver()->text(), "Ver");
        EXPECT_EQ(visibleWindows(), 0) << "no notice, no message";
    }
}

} // namespace
} // namespace zarvello
