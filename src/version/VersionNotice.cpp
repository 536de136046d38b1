#include "version/VersionNotice.h"

#include "version/CentredToolWindow.h"
#include "widgets/LinkLabel.h"

#include <QLabel>

#include <algorithm>

namespace zarvello {
namespace {

// Texts here may come from the network: always plain text, sized to fit.
QLabel* plainLabel(QWidget* parent, const QString& text, QPoint at)
{
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    label->setText(text);
    label->move(at);
    label->adjustSize();
    return label;
}

} // namespace

VersionNotice::VersionNotice(QWidget* parent, LinkOpener* opener)
    : CentredToolWindow(parent, Qt::Tool, {kClientWidth, kClientHeight})
{
    setWindowTitle(QStringLiteral("New version available!!"));

    plainLabel(this, QStringLiteral("There is a new version of Zarvello availabel!!"), {28, 6});
    const QLabel* lead = plainLabel(this, QStringLiteral("The new version is v"), {91, 24});
    // The line reads "The new version is v" and the version: where the font
    // substituted for "MS Sans Serif" runs wider, the version moves along.
    version_ =
        plainLabel(this, QStringLiteral("Ver"), {std::max(190, lead->x() + lead->width()), 24});
    plainLabel(this, QStringLiteral("Click the link below to download it now!"), {57, 43});

    downloadLink_ = new LinkLabel(this, opener);
    downloadLink_->setUrl(kMakerWebAddress);
    downloadLink_->setCaption(kMakerWebAddress);
    downloadLink_->move(102, 61);
    downloadLink_->adjustSize();
    connect(downloadLink_, &LinkLabel::clicked, this, &QWidget::hide);
}

} // namespace zarvello
