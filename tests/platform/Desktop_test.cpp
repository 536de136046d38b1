#include "platform/LinkOpener.h"
#include "platform/SingleInstance.h"
#include "platform/TerminationSignals.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <future>
#include <tuple>

namespace zarvello {
namespace {

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

// A stand-in for xdg-mime that logs its arguments and knows a handler for
// every scheme but mailto; for "fails" it answers and then exits with an error.
QString fakeXdgMime(const QTemporaryDir& dir, const QByteArray& before = {})
{
    const QString program = dir.filePath(u"xdg-mime"_s);
    QFile file(program);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("#!/bin/sh\nprintf '%s|' \"$@\" >> '" + QFile::encodeName(dir.path()) +
               "/calls.log'\n" + before +
               "case \"$3\" in */mailto) ;; */fails) echo x; exit 3;; *) echo a.desktop;; esac\n");
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return program;
}

TEST(LinkOpener, AsksXdgMimeOncePerPlainSchemeAndHandsOnOnlyWebAndMailLinks)
{
    const QTemporaryDir dir;
    DesktopLinkOpener opener(fakeXdgMime(dir), 5s);
    // scheme, whether it can be opened, whether xdg-mime was asked
    // clang-format off
    const std::tuple<QString, bool, bool> cases[] = {
        {"http", true, true}, {"http", true, false}, {"mailto", false, true}, {"fails", false, true},
        {"az09+-.", true, true}, {QString(32, u'x'), true, true}, {QString(33, u'y'), false, false},
        {"", false, false}, {"a`", false, false}, {"a:", false, false}};
    // clang-format on
    QString expectedLog;
    for (const auto& [scheme, handled, asked] : cases) {
        EXPECT_EQ(opener.canOpen(scheme), handled) << scheme.toStdString();
        expectedLog += asked ? "query|default|x-scheme-handler/" + scheme + "|" : QString();
    }
    QFile log(dir.filePath(u"calls.log"_s));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(log.readAll()).toStdString(), expectedLog.toStdString());
    // A missing or hanging query means no handler; the hang is cut at the wait.
    EXPECT_FALSE(DesktopLinkOpener(dir.filePath(u"none"_s), 5s).canOpen(u"http"_s));
    EXPECT_FALSE(
        DesktopLinkOpener(fakeXdgMime(dir, "exec tail -f /dev/null\n"), 300ms).canOpen(u"http"_s));
    // Only web and mail links are handed on.
    // clang-format off
    const std::pair<QString, bool> links[] = {
        {"http://www.example.org/get?v=2.2", true}, {"mailto:someone@example.org", true},
        {"http://", false}, {"mailto:", false}, {"file:///etc/passwd", false},
        {"http://host:notaport/", false}};
    // clang-format on
    for (const auto& [link, accepted] : links) {
        EXPECT_EQ(openableLink(link).has_value(), accepted) << link.toStdString();
    }
}

TEST(SingleInstance, SecondCopyAsksTheFirstToComeForwardAndTheLockEndsWithIt)
{
    QTemporaryDir dir;
    const QString name = QStringLiteral("zarvello");
    // The second copy's request is written synchronously and seen on the first
    // copy's event loop; the second round finds what the first left behind.
    for (int round = 0; round < 2; ++round) {
        SingleInstance first(name, dir.path());
        ASSERT_TRUE(first.isFirst());
        first.listen();
        QSignalSpy activations(&first, &SingleInstance::activationRequested);
        SingleInstance second(name, dir.path());
        EXPECT_FALSE(second.isFirst());
        auto sent =
            std::async(std::launch::async, [&] { return second.activateRunningCopy(3000); });
        EXPECT_TRUE(QTest::qWaitFor([&] { return activations.count() == 1; }));
        EXPECT_TRUE(sent.get());
    }
    SingleInstance lonely(name, QStringLiteral("/nonexistent/zarvello-test"));
    EXPECT_TRUE(lonely.isFirst()) << "an unusable folder lets the copy run";
}

// Either signal becomes a request on this thread instead of ending the process.
TEST(TerminationSignals, SigtermAndSigintEachBecomeARequest)
{
    TerminationSignals watcher;
    QSignalSpy requests(&watcher, &TerminationSignals::terminationRequested);
    ASSERT_TRUE(std::raise(SIGTERM) == 0 && std::raise(SIGINT) == 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return requests.count() == 2; }));
}

} // namespace
} // namespace zarvello
