#include "widgets/LinkLabel.h"

#include "platform/LinkOpener.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPointer>
#include <QTextDocument>

namespace zarvello {
namespace {

// Lower-cases ASCII letters only, so no other character can pass for a prefix.
QString asciiLower(QString text)
{
    for (QChar& c : text) {
        if (c >= u'A' && c <= u'Z') {
            c = QChar(c.unicode() + (u'a' - u'A'));
        }
    }
    return text;
}

QString schemeOf(LinkType type)
{
    return type == LinkType::mailto ? QStringLiteral("mailto") : QStringLiteral("http");
}

QString prefixOf(LinkType type)
{
    return type == LinkType::mailto ? QStringLiteral("mailto:") : QStringLiteral("http://");
}

} // namespace

LinkLabel::LinkLabel(QWidget* parent, LinkOpener* opener)
    : QLabel(parent), m_opener(opener != nullptr ? opener : &systemLinkOpener())
{
    // Captions come from settings and from a remote reply: never markup, never mnemonics.
    setTextFormat(Qt::PlainText);
    // The hand says "this is a link" even where no program can open it yet.
    setCursor(Qt::PointingHandCursor);
    determineAvailability();

    m_passiveFont = LabelFont{font(), clWindowText};
    m_linkFont = LabelFont{font(), clBlue};
    m_linkFont.font.setUnderline(true);

    // URLAsHint is still off here, so the placeholder leaves the hint empty.
    setURL(kPlaceholderWebAddress);
    applyLook();
    m_urlAsHint = true;
}

void LinkLabel::setLinkFont(const LabelFont& font)
{
    m_linkFont = font;
}

void LinkLabel::setPassiveFont(const LabelFont& font)
{
    m_passiveFont = font;
}

void LinkLabel::setCaption(const QString& caption)
{
    m_captionSet = true;
    setText(caption);
}

void LinkLabel::setURL(const QString& url)
{
    if (url == m_url) {
        return;
    }
    // The type follows the address; whether it can be opened is not asked again.
    if (url.contains(u'@')) {
        m_linkType = LinkType::mailto;
    }
    if (url.contains(u'/')) {
        m_linkType = LinkType::http;
    }
    const QString head = asciiLower(url.left(7));
    m_url = (head == u"mailto:" || head == u"http://") ? url.mid(7) : url;
    updateLinkText();
}

void LinkLabel::setURLAsHint(bool urlAsHint)
{
    if (urlAsHint == m_urlAsHint) {
        return;
    }
    m_urlAsHint = urlAsHint;
    setHint(m_urlAsHint ? m_linkText : QString());
}

void LinkLabel::setShowPrefix(bool showPrefix)
{
    m_showPrefix = showPrefix;
    updateLinkText();
}

void LinkLabel::setLabelType(LabelType labelType)
{
    if (labelType == m_labelType) {
        return;
    }
    m_labelType = labelType;
    applyLook();
}

void LinkLabel::setLinkType(LinkType linkType)
{
    if (linkType == m_linkType) {
        return;
    }
    m_linkType = linkType;
    determineAvailability();
    // The look follows the new answer, so an unopenable link never looks openable.
    applyLook();
    if (m_linkType == LinkType::http && m_url == kPlaceholderMailAddress) {
        m_url = kPlaceholderWebAddress;
    } else if (m_linkType == LinkType::mailto && m_url == kPlaceholderWebAddress) {
        m_url = kPlaceholderMailAddress;
    }
    updateLinkText();
}

void LinkLabel::click()
{
    // OnClick first: the version notice hides itself before the browser comes up.
    // The handler may destroy the label, and with it m_onClick: run a copy.
    const QPointer<LinkLabel> alive(this);
    if (const ClickHandler handler = m_onClick) {
        handler();
    }
    if (alive.isNull()) {
        return;
    }
    if (looksLikeLink()) {
        m_opener->open(prefixedLink());
    }
}

void LinkLabel::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        m_pressed = true;
    }
    QLabel::mousePressEvent(event);
}

void LinkLabel::mouseReleaseEvent(QMouseEvent* event)
{
    QLabel::mouseReleaseEvent(event);
    if (event->button() != Qt::LeftButton || !m_pressed) {
        return;
    }
    m_pressed = false;
    // Like a button: releasing outside the label cancels the click.
    if (rect().contains(event->position().toPoint())) {
        click();
    }
}

void LinkLabel::determineAvailability()
{
    m_available = m_opener->canOpen(schemeOf(m_linkType));
}

bool LinkLabel::looksLikeLink() const
{
    return m_labelType == LabelType::Link || (m_labelType == LabelType::Auto && m_available);
}

void LinkLabel::applyLook()
{
    const LabelFont& look = looksLikeLink() ? m_linkFont : m_passiveFont;
    setFont(look.font);
    QPalette colours = palette();
    const QColor text = toQColor(look.color, QApplication::palette(this));
    colours.setColor(QPalette::Active, QPalette::WindowText, text);
    colours.setColor(QPalette::Inactive, QPalette::WindowText, text);
    setPalette(colours);
}

QString LinkLabel::prefixedLink() const
{
    return prefixOf(m_linkType) + m_url;
}

void LinkLabel::updateLinkText()
{
    m_linkText = m_showPrefix ? prefixedLink() : m_url;
    if (!m_captionSet) {
        setText(m_linkText);
    }
    setHint(m_urlAsHint ? m_linkText : QString());
}

void LinkLabel::setHint(const QString& hint)
{
    m_hint = hint;
    // Tool tips guess at markup; escaping keeps the hint literal.
    setToolTip(hint.isEmpty() ? QString() : Qt::convertFromPlainText(hint, Qt::WhiteSpaceNoWrap));
}

} // namespace zarvello
