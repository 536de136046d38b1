#pragma once

#include "widgets/Colour.h"

#include <QFont>
#include <QLabel>
#include <QString>

namespace zarvello {

class LinkOpener;

enum class LabelType {
    Auto = 0,    // link look only when the link can be opened
    Passive = 1, // never a link
    Link = 2,    // always a link
};

enum class LinkType { Http = 0, Mailto = 1 };

// A font together with its text colour, as a label look needs both.
struct LabelFont
{
    QFont font;
    Colour colour = clWindowText;

    friend bool operator==(const LabelFont&, const LabelFont&) = default;
};

// Stand-ins until a real address is given.
inline constexpr QLatin1StringView kPlaceholderWebAddress{"www.example.com"};
inline constexpr QLatin1StringView kPlaceholderMailAddress{"info@example.com"};

// A label standing for a web or mail link, always under a hand cursor. It looks
// like a link (linkFont) when the link can be opened and opens it when clicked,
// after the click handler has run. Caption and hint are always plain text.
class LinkLabel : public QLabel
{
    Q_OBJECT
public:
    // opener: where availability is asked and links are opened; the program's
    // desktop opener when null. It must outlive the label.
    explicit LinkLabel(QWidget* parent = nullptr, LinkOpener* opener = nullptr);

    // Both looks are shown from the next change of look.
    [[nodiscard]] const LabelFont& linkFont() const { return linkFont_; }
    void setLinkFont(const LabelFont& font) { linkFont_ = font; }
    [[nodiscard]] const LabelFont& passiveFont() const { return passiveFont_; }
    void setPassiveFont(const LabelFont& font) { passiveFont_ = font; }

    [[nodiscard]] QString caption() const { return text(); }
    // From now on the caption is no longer replaced by the link text.
    void setCaption(const QString& caption);

    // The link without its scheme prefix.
    [[nodiscard]] const QString& url() const { return url_; }
    // A leading "http://" or "mailto:" is dropped; an "@" makes the link a mail
    // link, a "/" a web link (the "/" wins).
    void setUrl(const QString& url);

    // Whether the link text serves as the hint.
    [[nodiscard]] bool isUrlHint() const { return urlHint_; }
    void setUrlHint(bool urlHint);
    // Whether the link text carries the scheme prefix.
    [[nodiscard]] bool isPrefixShown() const { return prefixShown_; }
    void setPrefixShown(bool prefixShown);
    [[nodiscard]] LabelType labelType() const { return labelType_; }
    void setLabelType(LabelType labelType);
    [[nodiscard]] LinkType linkType() const { return linkType_; }
    // Asks again whether links of the new type can be opened.
    void setLinkType(LinkType linkType);

    // The hint shown as tool tip (plain text).
    [[nodiscard]] const QString& hint() const { return hint_; }

    // Runs the click handler, then opens the scheme-prefixed link if the label is a link.
    void click();

Q_SIGNALS:
    // Before the link opens; a slot may destroy the label.
    void clicked();

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

    LinkOpener* opener_;
    LabelFont linkFont_;
    LabelFont passiveFont_;
    QString url_;
    QString linkText_;
    QString hint_;
    LabelType labelType_ = LabelType::Auto;
    LinkType linkType_ = LinkType::Http;
    bool urlHint_ = false;
    bool prefixShown_ = false;
    bool captionSet_ = false;
    bool available_ = false;
    bool pressed_ = false;
};

} // namespace zarvello
