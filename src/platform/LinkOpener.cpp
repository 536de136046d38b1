#include "platform/LinkOpener.h"

#include <QDeadlineTimer>
#include <QDesktopServices>
#include <QProcess>

#include <algorithm>
#include <utility>

namespace zarvello {
namespace {

// Only plain scheme names ever reach the query's argument list.
bool isSchemeName(const QString& scheme)
{
    return !scheme.isEmpty() && scheme.size() <= 32 &&
           std::all_of(scheme.begin(), scheme.end(), [](QChar c) {
               return (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') || c == u'+' ||
                      c == u'-' || c == u'.';
           });
}

int remainingMs(const QDeadlineTimer& deadline)
{
    return static_cast<int>(std::max<qint64>(0, deadline.remainingTime()));
}

} // namespace

std::optional<QUrl> openableLink(const QString& link)
{
    const QUrl url(link, QUrl::TolerantMode);
    const bool openable = url.isValid() && ((url.scheme() == u"http" && !url.host().isEmpty()) ||
                                            (url.scheme() == u"mailto" && !url.path().isEmpty()));
    return openable ? std::optional(url) : std::nullopt;
}

DesktopLinkOpener::DesktopLinkOpener(QString queryProgram, std::chrono::milliseconds wait)
    : queryProgram_(std::move(queryProgram)), wait_(wait)
{
}

bool DesktopLinkOpener::canOpen(const QString& scheme)
{
    if (!isSchemeName(scheme)) {
        return false;
    }
    const auto [known, added] = known_.try_emplace(scheme, false);
    if (added) {
        known->second = queryHandler(scheme);
    }
    return known->second;
}

bool DesktopLinkOpener::queryHandler(const QString& scheme) const
{
    QProcess query;
    query.setProgram(queryProgram_);
    query.setArguments({QStringLiteral("query"), QStringLiteral("default"),
                        QStringLiteral("x-scheme-handler/") + scheme});
    query.setStandardInputFile(QProcess::nullDevice());
    query.setStandardErrorFile(QProcess::nullDevice());

    // The question is asked on the user-interface thread, so it must not hang it.
    const QDeadlineTimer deadline(wait_.count());
    query.start();
    const bool finished =
        query.waitForStarted(remainingMs(deadline)) && query.waitForFinished(remainingMs(deadline));
    if (!finished) {
        if (query.state() != QProcess::NotRunning) {
            query.kill();
            query.waitForFinished(1000);
        }
        return false;
    }
    return query.exitStatus() == QProcess::NormalExit && query.exitCode() == 0 &&
           !query.readAllStandardOutput().trimmed().isEmpty();
}

void DesktopLinkOpener::open(const QString& link)
{
    if (const auto url = openableLink(link)) {
        QDesktopServices::openUrl(*url);
    }
}

LinkOpener& systemLinkOpener()
{
    static DesktopLinkOpener opener;
    return opener;
}

} // namespace zarvello
