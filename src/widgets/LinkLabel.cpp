#include "widgets/LinkLabel.h"

#include "platform/LinkOpener.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPointer>
#include <QTextDocument>

namespace zarvello {
namespace {

QString prefixOf(LinkType type)
{
    return type == LinkType::Mailto ? QStringLiteral("mailto:") : QStringLiteral("http://");
}

} // namespace

LinkLabel::LinkLabel(QWidget* parent, LinkOpener* opener)
    : QLabel(parent), opener_(opener != nullptr ? opener : &systemLinkOpener())
{
    // Captions come from settings and from a remote reply: never markup, never mnemonics.
    setTextFormat(Qt::PlainText);
    // The hand says "this is a link" even where no program can open it yet.
    setCursor(Qt::PointingHandCursor);
    determineAvailability();

    passiveFont_ = LabelFont{font(), clWindowText};
    linkFont_ = LabelFont{font(), clBlue};
    linkFont_.font.setUnderline(true);

    // The URL hint is still off here, so the placeholder leaves the hint empty.
    setUrl(kPlaceholderWebAddress);
    applyLook();
    urlHint_ = true;
}

void LinkLabel::setCaption(const QString& caption)
{
    captionSet_ = true;
    setText(caption);
}

void LinkLabel::setUrl(const QString& url)
{
    if (url == url_) {
        return;
    }
    // The type follows the address; whether it can be opened is not asked again.
    if (url.contains(u'@')) {
        linkType_ = LinkType::Mailto;
    }
    if (url.contains(u'/')) {
        linkType_ = LinkType::Http;
    }
    // Case folding takes no other character to the letters of these prefixes.
    const auto isHead = [&](QStringView prefix) {
        return url.startsWith(prefix, Qt::CaseInsensitive);
    };
    url_ = isHead(u"mailto:") || isHead(u"http://") ? url.mid(7) : url;
    updateLinkText();
}

void LinkLabel::setUrlHint(bool urlHint)
{
    if (urlHint == urlHint_) {
        return;
    }
    urlHint_ = urlHint;
    setHint(urlHint_ ? linkText_ : QString());
}

void LinkLabel::setPrefixShown(bool prefixShown)
{
    prefixShown_ = prefixShown;
    updateLinkText();
}

void LinkLabel::setLabelType(LabelType labelType)
{
    if (labelType == labelType_) {
        return;
    }
    labelType_ = labelType;
    applyLook();
}

void LinkLabel::setLinkType(LinkType linkType)
{
    if (linkType == linkType_) {
        return;
    }
    linkType_ = linkType;
    determineAvailability();
    // The look follows the new answer, so an unopenable link never looks openable.
    applyLook();
    if (linkType_ == LinkType::Http && url_ == kPlaceholderMailAddress) {
        url_ = kPlaceholderWebAddress;
    } else if (linkType_ == LinkType::Mailto && url_ == kPlaceholderWebAddress) {
        url_ = kPlaceholderMailAddress;
    }
    updateLinkText();
}

void LinkLabel::click()
{
    // The click first: the version notice hides itself before the browser comes up.
    const QPointer<LinkLabel> alive(this);
    Q_EMIT clicked();
    if (alive && looksLikeLink()) {
        opener_->open(prefixedLink());
    }
}

void LinkLabel::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        pressed_ = true;
    }
    QLabel::mousePressEvent(event);
}

void LinkLabel::mouseReleaseEvent(QMouseEvent* event)
{
    QLabel::mouseReleaseEvent(event);
    if (event->button() != Qt::LeftButton || !pressed_) {
        return;
    }
    pressed_ = false;
    // Like a button: releasing outside the label cancels the click.
    if (rect().contains(event->position().toPoint())) {
        click();
    }
}

void LinkLabel::determineAvailability()
{
    available_ = opener_->canOpen(prefixOf(linkType_).section(u':', 0, 0));
}

bool LinkLabel::looksLikeLink() const
{
    return labelType_ == LabelType::Link || (labelType_ == LabelType::Auto && available_);
}

void LinkLabel::applyLook()
{
    const LabelFont& look = looksLikeLink() ? linkFont_ : passiveFont_;
    setFont(look.font);
    QPalette colours = palette();
    const QColor text = toQColor(look.colour, QApplication::palette(this));
    colours.setColor(QPalette::Active, QPalette::WindowText, text);
    colours.setColor(QPalette::Inactive, QPalette::WindowText, text);
    setPalette(colours);
}

QString LinkLabel::prefixedLink() const
{
    return prefixOf(linkType_) + url_;
}

void LinkLabel::updateLinkText()
{
    linkText_ = prefixShown_ ? prefixedLink() : url_;
    if (!captionSet_) {
        setText(linkText_);
    }
    setHint(urlHint_ ? linkText_ : QString());
}

void LinkLabel::setHint(const QString& hint)
{
    hint_ = hint;
    // Tool tips guess at markup; escaping keeps the hint literal.
    setToolTip(hint.isEmpty() ? QString() : Qt::convertFromPlainText(hint, Qt::WhiteSpaceNoWrap));
}

} // namespace zarvello
