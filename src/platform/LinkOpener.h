#pragma once

#include <QString>
#include <QUrl>

#include <chrono>
#include <map>
#include <optional>

namespace zarvello {

// The desktop's handling of web and mail links: whether a handler exists for
// a scheme, and handing a link to it.
class LinkOpener
{
public:
    virtual ~LinkOpener() = default;
    // scheme is "http" or "mailto".
    [[nodiscard]] virtual bool canOpen(const QString& scheme) = 0;
    // Failures are not reported: a link nobody can open simply stays unopened.
    virtual void open(const QString& link) = 0;
};

// The link as it may be handed to the desktop: an http link with a host or a
// mailto link with an address. Anything else (other schemes, unparsable text)
// is refused, since the address may come from a remote server.
[[nodiscard]] std::optional<QUrl> openableLink(const QString& link);

// Asks xdg-mime for the default handler of x-scheme-handler/<scheme> (once per
// scheme, the answer is kept for the run) and opens links through
// QDesktopServices. No shell is involved at any point.
class DesktopLinkOpener final : public LinkOpener
{
public:
    explicit DesktopLinkOpener(QString queryProgram = QStringLiteral("xdg-mime"),
                               std::chrono::milliseconds wait = std::chrono::seconds(3));

    [[nodiscard]] bool canOpen(const QString& scheme) override;
    void open(const QString& link) override;

private:
    [[nodiscard]] bool queryHandler(const QString& scheme) const;

    QString queryProgram_;
    std::chrono::milliseconds wait_;
    std::map<QString, bool> known_;
};

// The opener shared by every link label of the program.
[[nodiscard]] LinkOpener& systemLinkOpener();

} // namespace zarvello
