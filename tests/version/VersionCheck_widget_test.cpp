#include "version/VersionCheck.h"

#include "support/FakeLinkOpener.h"
#include "support/LoopbackServer.h"
#include "support/Wait.h"
#include "version/Version_Form.h"
#include "widgets/URLLabel.h"

#include <QLabel>
#include <gtest/gtest.h>

#include <tuple>
#include <vector>

namespace zarvello {
namespace {

using test::LoopbackServer;

TEST(VersionCheck, AsksOnceAndShowsTheNoticeWhenTheFirstReplyNamesAnotherVersion)
{
    using std::tuple;
    using B = QByteArray;
    // Far beyond the cap, so what the first read leaves is announced again, and ignored.
    const B huge = "2.2:" + B(1 << 20, 'a');
    // {reply, notice shown, version as shown, address}
    // clang-format off
    for (const auto& [reply, shown, ver, url] : std::vector<tuple<B, bool, QString, QString>>{
             {"2.1", false, "2.1", ""},
             {"2.2:www.example.org/download", true, "2.2", "www.example.org/download"},
             {"2.2:www.example.org:8080/x", true, "2.2", "www.example.org"},
             {":www.example.org", true, "", "www.example.org"},
             {"2.1\r\n\x7f\x85", true, "2.1\u240D\u240A\u2421\uFFFD", ""}, // control characters shown visibly
             {B("2.1\0:evil.example.org", 21), false, "2.1", ""}, // the text ends at a zero
             {B("\0" "2.1:evil.example.org", 21), true, "", ""},   // even a zero at the start
             {huge, true, "2.2", huge.mid(4, TVersionCheck::kMaxReplyBytes - 4)}}) {
        // clang-format on
        SCOPED_TRACE(reply.left(30).toStdString());
        LoopbackServer server(LoopbackServer::Behaviour::ReplyToRequest, reply);
        test::FakeLinkOpener opener{{"http", "mailto"}};
        TForm_Version notice(nullptr, &opener);
        TVersionCheck check(&notice, "127.0.0.1", server.port());
        int pauses = 0; // the error handler's pause, counted instead of slept
        check.setPause([&pauses] { ++pauses; });
        check.start();
        check.start(); // only the first start in a run asks
        const std::uint32_t events = reply == huge ? 2 : 1;
        ASSERT_TRUE(waitUntil([&] { return check.dataEventCount() >= events; }));
        EXPECT_EQ(std::tuple(server.received(), server.connections(), pauses),
                  std::tuple(B("Zarvello"), 1, 0));
        EXPECT_EQ(check.reply(), QString::fromLatin1(reply.left(TVersionCheck::kMaxReplyBytes)));
        EXPECT_EQ(std::tuple(notice.isVisible(), notice.Ver()->text(), notice.URLLabel1()->URL()),
                  std::tuple(shown, ver, url));
        notice.URLLabel1()->click();
        EXPECT_TRUE(notice.isHidden()) << "the link hides the notice";
        EXPECT_EQ(opener.opened, QStringList{"http://" + url});
    }
}

} // namespace
} // namespace zarvello
