#pragma once

#include "widgets/Colour.h"

#include <QFont>
#include <QLabel>
#include <QString>

#include <functional>
#include <utility>

namespace zarvello {

class LinkOpener;

enum class LabelType {
    Auto = 0,    // link look only when the link can be opened
    Passive = 1, // never a link
    Link = 2,    // always a link
};

enum class LinkType {
    http = 0,
    mailto = 1,
};

// A font together with its text colour, as a label look needs both.
struct LabelFont
{
    QFont font;
    Colour color = clWindowText;

    friend bool operator==(const LabelFont&, const LabelFont&) = default;
};

// Stand-ins until a real address is given.
inline constexpr QLatin1StringView kPlaceholderWebAddress{"www.example.com"};
inline constexpr QLatin1StringView kPlaceholderMailAddress{"info@example.com"};

// A label standing for a web or mail link, always under a hand cursor. It looks
// like a link (LinkFont) when the link can be opened and opens it when clicked,
// after OnClick has run. Caption and hint are always plain text.
class LinkLabel : public QLabel
{
    Q_OBJECT
public:
    using ClickHandler = std::function<void()>;

    // opener: where availability is asked and links are opened; the program's
    // desktop opener when null. It must outlive the label.
    explicit LinkLabel(QWidget* parent = nullptr, LinkOpener* opener = nullptr);

    [[nodiscard]] const LabelFont& LinkFont() const { return m_linkFont; }
    void setLinkFont(const LabelFont& font); // shown from the next change of look
    [[nodiscard]] const LabelFont& PassiveFont() const { return m_passiveFont; }
    void setPassiveFont(const LabelFont& font); // shown from the next change of look

    [[nodiscard]] QString Caption() const { return text(); }
    // From now on the caption is no longer replaced by the link text.
    void setCaption(const QString& caption);

    [[nodiscard]] const QString& URL() const { return m_url; }
    // A leading "http://" or "mailto:" is dropped; an "@" makes the link a mail
    // link, a "/" a web link (the "/" wins).
    void setURL(const QString& url);

    [[nodiscard]] bool URLAsHint() const { return m_urlAsHint; }
    void setURLAsHint(bool urlAsHint);
    [[nodiscard]] bool ShowPrefix() const { return m_showPrefix; }
    void setShowPrefix(bool showPrefix);
    [[nodiscard]] LabelType labelType() const { return m_labelType; }
    void setLabelType(LabelType labelType);
    [[nodiscard]] LinkType linkType() const { return m_linkType; }
    // Asks again whether links of the new type can be opened.
    void setLinkType(LinkType linkType);

    // The hint shown as tool tip (plain text).
    [[nodiscard]] const QString& Hint() const { return m_hint; }

    [[nodiscard]] const ClickHandler& OnClick() const { return m_onClick; }
    void setOnClick(ClickHandler handler) { m_onClick = std::move(handler); }

    // Runs OnClick, then opens the scheme-prefixed link if the label is a link.
    void click();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void determineAvailability();
    void applyLook();
    void updateLinkText();
    void setHint(const QString& hint);
    [[nodiscard]] bool looksLikeLink() const;
    [[nodiscard]] QString prefixedLink() const;

    LinkOpener* m_opener;
    LabelFont m_linkFont;
    LabelFont m_passiveFont;
    QString m_url;
    QString m_linkText;
    QString m_hint;
    ClickHandler m_onClick;
    LabelType m_labelType = LabelType::Auto;
    LinkType m_linkType = LinkType::http;
    bool m_urlAsHint = false;
    bool m_showPrefix = false;
    bool m_captionSet = false;
    bool m_available = false;
    bool m_pressed = false;
};

} // namespace zarvello
