#include "widgets/URLLabel.h"

#include "support/FakeLinkOpener.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QTextDocument>

#include <gtest/gtest.h>

namespace zarvello {
namespace {

using test::FakeLinkOpener;

void sendMouse(QWidget& widget, QEvent::Type type, QPoint at)
{
    const Qt::MouseButtons held =
        type == QEvent::MouseButtonPress ? Qt::MouseButtons(Qt::LeftButton) : Qt::NoButton;
    QMouseEvent event(type, QPointF(at), widget.mapToGlobal(QPointF(at)), Qt::LeftButton, held,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(&widget, &event);
}

void clickLabel(QWidget& widget, QPoint releaseAt = QPoint(2, 2))
{
    sendMouse(widget, QEvent::MouseButtonPress, QPoint(2, 2));
    sendMouse(widget, QEvent::MouseButtonRelease, releaseAt);
}

bool looksLikeLink(const TURLLabel& label)
{
    return label.font().underline() &&
           label.palette().color(QPalette::Active, QPalette::WindowText) == QColor(0, 0, 255) &&
           label.testAttribute(Qt::WA_SetCursor) &&
           label.cursor().shape() == Qt::PointingHandCursor;
}

TEST(URLLabel, StartsWithThePlaceholderWebLinkAndNoHint)
{
    FakeLinkOpener opener({QStringLiteral("http")});
    const TURLLabel label(nullptr, &opener);
    EXPECT_EQ(opener.asked, QStringList{QStringLiteral("http")});
    EXPECT_EQ(label.Caption(), kPlaceholderWebAddress);
    EXPECT_TRUE(label.URLAsHint());
    EXPECT_TRUE(label.Hint().isEmpty()) << "the hint follows the link only from the next change";
    EXPECT_TRUE(looksLikeLink(label));
}

TEST(URLLabel, AddressSetterStripsPrefixesAndPicksTheLinkType)
{
    struct Case
    {
        QString given;
        QString stored;
        TLinkType before;
        TLinkType after;
    };
    const Case cases[] = {
        {"mailto:someone@example.org", "someone@example.org", TLinkType::http, TLinkType::mailto},
        {"MailTo:a@b.org", "a@b.org", TLinkType::http, TLinkType::mailto},
        {"http://www.example.org/get", "www.example.org/get", TLinkType::mailto, TLinkType::http},
        {"HTTP://Example.org", "Example.org", TLinkType::mailto, TLinkType::http},
        {"user@host.org/page", "user@host.org/page", TLinkType::mailto, TLinkType::http},
        {"www.example.org", "www.example.org", TLinkType::mailto, TLinkType::mailto},
        {"https://example.org", "https://example.org", TLinkType::mailto, TLinkType::http},
        {"mailtoX:a", "mailtoX:a", TLinkType::http, TLinkType::http},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.given.toStdString());
        FakeLinkOpener opener({QStringLiteral("http"), QStringLiteral("mailto")});
        TURLLabel label(nullptr, &opener);
        label.setLinkType(c.before);
        label.setURL(c.given);
        EXPECT_EQ(label.URL(), c.stored);
        EXPECT_EQ(label.LinkType(), c.after);
        EXPECT_EQ(label.Caption(), c.stored);
        EXPECT_EQ(label.Hint(), c.stored);
    }
}

TEST(URLLabel, PrefixAndExplicitCaption)
{
    FakeLinkOpener opener;
    TURLLabel label(nullptr, &opener);
    label.setURL(QStringLiteral("www.example.org"));
    EXPECT_EQ(label.Caption(), u"www.example.org");
    label.setShowPrefix(true);
    EXPECT_EQ(label.Caption(), u"http://www.example.org");
    EXPECT_EQ(label.Hint(), u"http://www.example.org");
    label.setURL(QStringLiteral("mailto:me@example.org"));
    EXPECT_EQ(label.Caption(), u"mailto:me@example.org");

    label.setCaption(QStringLiteral("Download"));
    label.setURL(QStringLiteral("www.example.org/new"));
    EXPECT_EQ(label.Caption(), u"Download");
    EXPECT_EQ(label.Hint(), u"http://www.example.org/new");
    label.setShowPrefix(false);
    EXPECT_EQ(label.Caption(), u"Download");
    EXPECT_EQ(label.Hint(), u"www.example.org/new");

    label.setURLAsHint(false);
    EXPECT_TRUE(label.Hint().isEmpty());
    EXPECT_TRUE(label.toolTip().isEmpty());
    label.setURLAsHint(true);
    EXPECT_EQ(label.Hint(), u"www.example.org/new");
}

TEST(URLLabel, LinkTypeChangeSwapsPlaceholdersAndAsksAgain)
{
    FakeLinkOpener opener({QStringLiteral("http")});
    TURLLabel label(nullptr, &opener);
    label.setLinkType(TLinkType::mailto);
    EXPECT_EQ(label.URL(), kPlaceholderMailAddress);
    EXPECT_EQ(opener.asked, (QStringList{QStringLiteral("http"), QStringLiteral("mailto")}));
    EXPECT_FALSE(looksLikeLink(label)) << "no mail handler: passive under Auto";
    EXPECT_EQ(label.cursor().shape(), Qt::PointingHandCursor) << "still a link to the pointer";
    clickLabel(label);
    EXPECT_TRUE(opener.opened.isEmpty());

    label.setLinkType(TLinkType::http);
    EXPECT_EQ(label.URL(), kPlaceholderWebAddress);
    EXPECT_TRUE(looksLikeLink(label));

    label.setURL(QStringLiteral("www.example.org"));
    label.setLinkType(TLinkType::mailto);
    EXPECT_EQ(label.URL(), u"www.example.org") << "only the placeholder is swapped";
}

TEST(URLLabel, AddressSetterKeepsTheEarlierAnswer)
{
    // Switched by the address alone, the type keeps the web link's availability.
    FakeLinkOpener opener({QStringLiteral("http")});
    TURLLabel label(nullptr, &opener);
    label.setURL(QStringLiteral("mailto:me@example.org"));
    EXPECT_EQ(opener.asked.size(), 1);
    clickLabel(label);
    EXPECT_EQ(opener.opened, QStringList{QStringLiteral("mailto:me@example.org")});
}

TEST(URLLabel, LabelTypeDecidesLookAndOpening)
{
    struct Case
    {
        TLabelType type;
        bool available;
        bool link;
    };
    const Case cases[] = {
        {TLabelType::Auto, true, true},
        {TLabelType::Auto, false, false},
        {TLabelType::Passive, true, false},
        {TLabelType::Link, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << static_cast<int>(c.type) << " " << c.available);
        FakeLinkOpener opener;
        if (c.available) {
            opener.openable.insert(QStringLiteral("http"));
        }
        TURLLabel label(nullptr, &opener);
        label.resize(120, 13);
        label.setURL(QStringLiteral("www.example.org/x"));
        // Going through another type makes sure the look is re-applied for c.type.
        label.setLabelType(c.type == TLabelType::Link ? TLabelType::Passive : TLabelType::Link);
        label.setLabelType(c.type);
        EXPECT_EQ(looksLikeLink(label), c.link);
        clickLabel(label);
        EXPECT_EQ(opener.opened,
                  c.link ? QStringList{QStringLiteral("http://www.example.org/x")} : QStringList{});
    }
}

TEST(URLLabel, ClickRunsOnClickBeforeOpeningAndOnlyWhenReleasedInside)
{
    FakeLinkOpener opener({QStringLiteral("http")});
    TURLLabel label(nullptr, &opener);
    label.resize(120, 13);
    label.setURL(QStringLiteral("www.example.org/download"));
    QStringList events;
    label.setOnClick(
        [&] { events.append(QStringLiteral("OnClick, opened %1").arg(opener.opened.size())); });

    clickLabel(label, QPoint(200, 5));
    EXPECT_TRUE(events.isEmpty()) << "released outside the label";
    EXPECT_TRUE(opener.opened.isEmpty());

    clickLabel(label);
    EXPECT_EQ(events, QStringList{QStringLiteral("OnClick, opened 0")});
    EXPECT_EQ(opener.opened, QStringList{QStringLiteral("http://www.example.org/download")});

    // ShowPrefix only changes the text shown; the opened link has one prefix.
    label.setShowPrefix(true);
    label.click();
    EXPECT_EQ(opener.opened.last(), u"http://www.example.org/download");
}

TEST(URLLabel, OnClickMayDestroyTheLabel)
{
    FakeLinkOpener opener({QStringLiteral("http")});
    auto* label = new TURLLabel(nullptr, &opener);
    label->setOnClick([&label] {
        delete label;
        label = nullptr;
    });
    label->click();
    EXPECT_EQ(label, nullptr);
    EXPECT_TRUE(opener.opened.isEmpty());
}

TEST(URLLabel, MarkupInCaptionAndHintIsShownLiterally)
{
    FakeLinkOpener opener;
    TURLLabel label(nullptr, &opener);
    const QString markup = QStringLiteral("<b>big</b> & <i>bold</i>");
    label.setURL(markup);
    EXPECT_GE(label.sizeHint().width(), label.fontMetrics().horizontalAdvance(markup))
        << "the tags take up room only when shown as text";
    QTextDocument tip;
    tip.setHtml(label.toolTip());
    EXPECT_EQ(tip.toPlainText(), markup);

    label.setCaption(QStringLiteral("<h1>x</h1>"));
    EXPECT_GE(label.sizeHint().width(),
              label.fontMetrics().horizontalAdvance(QStringLiteral("<h1>x</h1>")));
}

} // namespace
} // namespace zarvello
