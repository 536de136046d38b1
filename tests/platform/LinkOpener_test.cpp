#include "platform/LinkOpener.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>

namespace zarvello {
namespace {

using namespace std::chrono_literals;

// A stand-in for xdg-mime: logs its arguments, knows a web handler only.
class FakeXdgMime
{
public:
    explicit FakeXdgMime(const QByteArray& extra = {})
    {
        const QByteArray script = "#!/bin/sh\n"
                                  "printf '%s|' \"$@\" >> '" +
                                  log().toLocal8Bit() + "'\necho >> '" + log().toLocal8Bit() +
                                  "'\n" + extra +
                                  "case \"$3\" in x-scheme-handler/http) "
                                  "echo firefox-esr.desktop;; esac\n";
        QFile file(program());
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(script);
        file.close();
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    [[nodiscard]] QString program() const { return m_dir.filePath(QStringLiteral("xdg-mime")); }
    [[nodiscard]] QString log() const { return m_dir.filePath(QStringLiteral("calls.log")); }
    [[nodiscard]] QStringList calls() const
    {
        QFile file(log());
        if (!file.open(QIODevice::ReadOnly)) {
            return {};
        }
        return QString::fromLocal8Bit(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
    }

private:
    QTemporaryDir m_dir;
};

TEST(LinkOpener, AsksXdgMimeOncePerPlainSchemeWithArgumentsNotAShell)
{
    const FakeXdgMime xdg;
    DesktopLinkOpener opener(xdg.program(), 5s);
    EXPECT_TRUE(opener.canOpen(QStringLiteral("http")));
    EXPECT_FALSE(opener.canOpen(QStringLiteral("mailto")));
    EXPECT_TRUE(opener.canOpen(QStringLiteral("http")));
    // Odd scheme names never reach the query.
    for (const QString& scheme : {QString(), QStringLiteral("http; touch x"),
                                  QStringLiteral("HTTP"), QStringLiteral("a/b")}) {
        EXPECT_FALSE(opener.canOpen(scheme)) << scheme.toStdString();
    }
    EXPECT_EQ(xdg.calls(), (QStringList{QStringLiteral("query|default|x-scheme-handler/http|"),
                                        QStringLiteral("query|default|x-scheme-handler/mailto|")}));
}

TEST(LinkOpener, MissingOrHangingQueryMeansNoHandler)
{
    QTemporaryDir empty;
    DesktopLinkOpener missing(empty.filePath(QStringLiteral("no-such-program")), 5s);
    EXPECT_FALSE(missing.canOpen(QStringLiteral("http")));

    const FakeXdgMime hanging("exec sleep 30\n");
    DesktopLinkOpener impatient(hanging.program(), 300ms);
    const auto started = std::chrono::steady_clock::now();
    EXPECT_FALSE(impatient.canOpen(QStringLiteral("http")));
    EXPECT_LT(std::chrono::steady_clock::now() - started, 20s) << "the wait is bounded";
}

TEST(LinkOpener, OnlyWebAndMailLinksAreHandedOn)
{
    struct Case
    {
        QString link;
        bool accepted;
    };
    const Case cases[] = {
        {"http://www.example.org/get?v=2.2", true},
        {"mailto:someone@example.org", true},
        {"http://www.example.org/a b", true},
        {"http://", false},
        {"mailto:", false},
        {"file:///etc/passwd", false},
        {"javascript:alert(1)", false},
        {"http://host:notaport/", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(openableLink(c.link).has_value(), c.accepted) << c.link.toStdString();
    }
    EXPECT_EQ(
        openableLink(QStringLiteral("http://www.example.org/a b"))->toString(QUrl::FullyEncoded),
        u"http://www.example.org/a%20b");
}

} // namespace
} // namespace zarvello
