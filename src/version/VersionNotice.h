#pragma once

#include "version/CentredToolWindow.h"

class QLabel;

namespace zarvello {

class LinkOpener;
class LinkLabel;

// The project's web site, the caption the notice's link keeps whatever the
// version server names as download address.
inline constexpr QLatin1StringView kMakerWebAddress{"zarvello.example.org"};

// "New version available!!": the notice shown when the version server names
// another version. Created hidden; closing it or clicking the link hides it.
class VersionNotice : public CentredToolWindow
{
    Q_OBJECT
public:
    static constexpr int kClientWidth = 316;
    static constexpr int kClientHeight = 80;

    // opener: passed to the link label (the desktop's opener when null).
    explicit VersionNotice(QWidget* parent = nullptr, LinkOpener* opener = nullptr);

    // The version the server named, and the link to its download address,
    // which hides the notice before it opens the address.
    [[nodiscard]] QLabel* versionLabel() const { return version_; }
    [[nodiscard]] LinkLabel* downloadLink() const { return downloadLink_; }

private:
    QLabel* version_ = nullptr;
    LinkLabel* downloadLink_ = nullptr;
};

} // namespace zarvello
