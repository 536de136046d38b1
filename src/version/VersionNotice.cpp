#include "version/VersionNotice.h"

#include "version/FormPlacement.h"
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
    : QWidget(parent, Qt::Tool), label1_(nullptr), label2_(nullptr), ver_(nullptr),
      label3_(nullptr), urlLabel1_(nullptr)
{
    setWindowTitle(QStringLiteral("New version available!!"));
    applyDialogLook(*this);
    setFixedSize(kClientWidth, kClientHeight);

    label1_ = plainLabel(this, QStringLiteral("There is a new version of Zarvello availabel!!"),
                         QPoint(28, 6));
    label2_ = plainLabel(this, QStringLiteral("The new version is v"), QPoint(91, 24));
    // The line reads "The new version is v" and the version: where the font
    // substituted for "MS Sans Serif" runs wider, the version moves along.
    ver_ = plainLabel(this, QStringLiteral("Ver"),
                      QPoint(std::max(190, label2_->x() + label2_->width()), 24));
    label3_ = plainLabel(this, QStringLiteral("Click the link below to download it now!"),
                         QPoint(57, 43));

    urlLabel1_ = new LinkLabel(this, opener);
    urlLabel1_->setUrl(kMakerWebAddress);
    urlLabel1_->setCaption(kMakerWebAddress);
    urlLabel1_->move(102, 61);
    urlLabel1_->adjustSize();
    urlLabel1_->setClickHandler([this] { URLLabel1Click(); });
}

void VersionNotice::URLLabel1Click()
{
    hide();
}

void VersionNotice::showEvent(QShowEvent* event)
{
    if (!placed_) {
        placed_ = true;
        centreOnScreen(*this);
    }
    QWidget::showEvent(event);
}

} // namespace zarvello
