#include "widgets/URLLabel.h"

#include "support/FakeLinkOpener.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QTextDocument>
#include <gtest/gtest.h>

#include <tuple>

namespace zarvello {
namespace {

using test::FakeLinkOpener;

void clickLabel(QWidget& widget, QPoint releaseAt = QPoint(2, 2))
{
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(2, 2), widget.mapToGlobal(QPointF(2, 2)),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(releaseAt),
                        widget.mapToGlobal(QPointF(releaseAt)), Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QCoreApplication::sendEvent(&widget, &press);
    QCoreApplication::sendEvent(&widget, &release);
}

bool looksLikeLink(const TURLLabel& label)
{
    return label.font().underline() &&
           label.palette().color(QPalette::Active, QPalette::WindowText) == QColor(0, 0, 255);
}

TEST(URLLabel, StartsAsThePlaceholderWebLinkWithoutAHint)
{
    FakeLinkOpener opener({"http"});
    const TURLLabel label(nullptr, &opener);
    EXPECT_EQ(opener.asked, QStringList{"http"});
    EXPECT_EQ(label.Caption(), kPlaceholderWebAddress);
    EXPECT_TRUE(label.Hint().isEmpty()) << "the hint follows the link only from the next change";
    EXPECT_TRUE(looksLikeLink(label));
    EXPECT_EQ(label.cursor().shape(), Qt::PointingHandCursor);
}

TEST(URLLabel, AddressSetterStripsExactPrefixesAndPicksTheLinkType)
{
    const auto http = TLinkType::http;
    const auto mailto = TLinkType::mailto;
    // {given, stored, type before, type after}
    for (const auto& [given, stored, before, after] :
         {std::tuple{"mailto:someone@example.org", "someone@example.org", http, mailto},
          std::tuple{"MAILTO:a@b.org", "a@b.org", http, mailto},
          std::tuple{"mailto:", "", http, http}, std::tuple{"mailtoX:a", "mailtoX:a", http, http},
          std::tuple{"http://www.example.org/get", "www.example.org/get", mailto, http},
          std::tuple{"HTTP://Example.org", "Example.org", mailto, http},
          std::tuple{"http:/x", "http:/x", mailto, http},
          std::tuple{"user@host.org/page", "user@host.org/page", mailto, http},
          std::tuple{"www.example.org", "www.example.org", mailto, mailto},
          std::tuple{"https://example.org", "https://example.org", mailto, http}}) {
        SCOPED_TRACE(given);
        FakeLinkOpener opener({"http", "mailto"});
        TURLLabel label(nullptr, &opener);
        label.setLinkType(before);
        label.setURL(given);
        EXPECT_EQ(label.URL(), stored);
        EXPECT_EQ(label.LinkType(), after);
        EXPECT_EQ(label.Caption(), stored);
        EXPECT_EQ(label.Hint(), stored);
    }
}

TEST(URLLabel, PrefixCaptionAndHint)
{
    FakeLinkOpener opener;
    TURLLabel label(nullptr, &opener);
    label.setURL(QStringLiteral("www.example.org"));
    label.setShowPrefix(true);
    EXPECT_EQ(label.Caption(), u"http://www.example.org");
    label.setURL(QStringLiteral("mailto:me@example.org"));
    EXPECT_EQ(label.Caption(), u"mailto:me@example.org");

    label.setCaption(QStringLiteral("Download"));
    label.setURL(QStringLiteral("www.example.org/new"));
    EXPECT_EQ(label.Caption(), u"Download");
    EXPECT_EQ(label.Hint(), u"http://www.example.org/new");
    label.setShowPrefix(false);
    EXPECT_EQ(label.Hint(), u"www.example.org/new");
    label.setURLAsHint(false);
    EXPECT_TRUE(label.toolTip().isEmpty());
    label.setURLAsHint(true);
    EXPECT_EQ(label.Hint(), u"www.example.org/new");
}

TEST(URLLabel, LinkTypeChangeSwapsPlaceholdersAndAsksAgain)
{
    FakeLinkOpener opener({"http"});
    TURLLabel label(nullptr, &opener);
    label.setLinkType(TLinkType::mailto);
    EXPECT_EQ(label.URL(), kPlaceholderMailAddress);
    EXPECT_EQ(opener.asked, (QStringList{"http", "mailto"}));
    EXPECT_FALSE(looksLikeLink(label)) << "no mail handler: passive under Auto";
    clickLabel(label);
    EXPECT_TRUE(opener.opened.isEmpty());
    label.setLinkType(TLinkType::http);
    EXPECT_EQ(label.URL(), kPlaceholderWebAddress);
    EXPECT_TRUE(looksLikeLink(label));
    label.setURL(QStringLiteral("www.example.org"));
    label.setLinkType(TLinkType::mailto);
    EXPECT_EQ(label.URL(), u"www.example.org") << "only the placeholder is swapped";

    // Switched by the address alone, the type keeps the earlier answer.
    FakeLinkOpener webOnly({"http"});
    TURLLabel byAddress(nullptr, &webOnly);
    byAddress.setURL(QStringLiteral("mailto:me@example.org"));
    byAddress.click();
    EXPECT_EQ(webOnly.asked.size(), 1);
    EXPECT_EQ(webOnly.opened, QStringList{"mailto:me@example.org"});
}

TEST(URLLabel, LabelTypeDecidesLookAndOpening)
{
    for (const auto& [type, available, link] :
         {std::tuple{TLabelType::Auto, true, true}, std::tuple{TLabelType::Auto, false, false},
          std::tuple{TLabelType::Passive, true, false},
          std::tuple{TLabelType::Link, false, true}}) {
        SCOPED_TRACE(testing::Message() << static_cast<int>(type) << " " << available);
        FakeLinkOpener opener;
        if (available) {
            opener.openable.insert("http");
        }
        TURLLabel label(nullptr, &opener);
        label.setURL(QStringLiteral("www.example.org/x"));
        // Going through another type makes sure the look is applied for this one.
        label.setLabelType(type == TLabelType::Link ? TLabelType::Passive : TLabelType::Link);
        label.setLabelType(type);
        EXPECT_EQ(looksLikeLink(label), link);
        label.click();
        EXPECT_EQ(opener.opened, link ? QStringList{"http://www.example.org/x"} : QStringList{});
    }
}

TEST(URLLabel, ClickRunsOnClickFirstAndOnlyWhenReleasedInside)
{
    FakeLinkOpener opener({"http"});
    TURLLabel label(nullptr, &opener);
    label.resize(120, 13);
    label.setURL(QStringLiteral("www.example.org/download"));
    label.setShowPrefix(true); // only the text shown: the opened link has one prefix
    QStringList events;
    label.setOnClick(
        [&] { events << QStringLiteral("OnClick, opened %1").arg(opener.opened.size()); });
    clickLabel(label, QPoint(120, 5));
    EXPECT_TRUE(events.isEmpty()) << "released just outside the label";
    clickLabel(label, QPoint(119, 12));
    EXPECT_EQ(events, QStringList{"OnClick, opened 0"});
    EXPECT_EQ(opener.opened, QStringList{"http://www.example.org/download"});

    auto* doomed = new TURLLabel(nullptr, &opener);
    doomed->setOnClick([&doomed] {
        delete doomed;
        doomed = nullptr;
    });
    doomed->click();
    EXPECT_EQ(doomed, nullptr);
    EXPECT_EQ(opener.opened.size(), 1) << "a destroyed label opens nothing";
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
}

} // namespace
} // namespace zarvello
