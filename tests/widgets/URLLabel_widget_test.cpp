#include "widgets/URLLabel.h"

#include "support/FakeLinkOpener.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <gtest/gtest.h>

#include <tuple>

namespace zarvello {
namespace {

using test::FakeLinkOpener;

bool looksLikeLink(const TURLLabel& label)
{
    return label.font().underline() &&
           label.palette().color(QPalette::Active, QPalette::WindowText) == QColor(0, 0, 255);
}

TEST(URLLabel, AddressSetterStripsExactPrefixesAndPicksTheLinkType)
{
    const auto http = TLinkType::http;
    const auto mailto = TLinkType::mailto;
    // {given, stored, type before, type after}
    for (const auto& [given, stored, before, after] :
         {std::tuple{"MAILTO:a@b.org", "a@b.org", http, mailto},
          std::tuple{"mailto:", "", http, http}, std::tuple{"mailtoX:a", "mailtoX:a", http, http},
          std::tuple{"HTTP://Example.org", "Example.org", mailto, http},
          std::tuple{"http:/x", "http:/x", mailto, http},
          std::tuple{"user@host.org/page", "user@host.org/page", mailto, http},
          std::tuple{"www.example.org", "www.example.org", mailto, mailto}}) {
        SCOPED_TRACE(given);
        FakeLinkOpener opener({"http", "mailto"});
        TURLLabel label(nullptr, &opener);
        label.setLinkType(before);
        label.setURL(given);
        EXPECT_EQ(std::tuple(label.URL(), label.LinkType(), label.Caption(), label.Hint()),
                  std::tuple(QString(stored), after, QString(stored), QString(stored)));
    }
}

TEST(URLLabel, PrefixCaptionHintAndPlaceholderFollowTheSettings)
{
    FakeLinkOpener opener({"http"});
    TURLLabel label(nullptr, &opener);
    EXPECT_EQ(std::pair(label.Caption(), label.Hint()),
              std::pair(QString(kPlaceholderWebAddress), QString()))
        << "the placeholder sets no hint";
    label.setLinkType(TLinkType::mailto);
    EXPECT_EQ(label.URL(), kPlaceholderMailAddress);
    EXPECT_FALSE(looksLikeLink(label)) << "no mail handler: passive under Auto";
    label.setLinkType(TLinkType::http);
    EXPECT_EQ(label.URL(), kPlaceholderWebAddress);
    EXPECT_TRUE(looksLikeLink(label));

    label.setURL(QStringLiteral("www.example.org"));
    label.setShowPrefix(true);
    EXPECT_EQ(label.Caption(), u"http://www.example.org");
    label.setLinkType(TLinkType::mailto);
    EXPECT_EQ(label.Caption(), u"mailto:www.example.org") << "only the placeholder is swapped";
    label.setCaption(QStringLiteral("Download"));
    label.setURL(QStringLiteral("www.example.org/new"));
    EXPECT_EQ(std::pair(label.Caption(), label.Hint()),
              std::pair(QString("Download"), QString("http://www.example.org/new")));
    label.setURLAsHint(false);
    EXPECT_TRUE(label.toolTip().isEmpty());
}

TEST(URLLabel, LabelTypeDecidesLookAndAReleaseInsideOpensAfterOnClick)
{
    for (const auto& [type, available, link] :
         {std::tuple{TLabelType::Auto, true, true}, std::tuple{TLabelType::Auto, false, false},
          std::tuple{TLabelType::Passive, true, false},
          std::tuple{TLabelType::Link, false, true}}) {
        SCOPED_TRACE(testing::Message() << static_cast<int>(type) << " " << available);
        FakeLinkOpener opener(available ? std::set<QString>{"http"} : std::set<QString>{});
        TURLLabel label(nullptr, &opener);
        label.resize(120, 13);
        label.setURL(QStringLiteral("www.example.org/x"));
        // Going through another type makes sure the look is applied for this one.
        label.setLabelType(type == TLabelType::Link ? TLabelType::Passive : TLabelType::Link);
        label.setLabelType(type);
        EXPECT_EQ(looksLikeLink(label), link);
        QStringList events;
        label.setOnClick(
            [&] { events << QString("OnClick, opened %1").arg(opener.opened.size()); });
        const auto mouse = [&label](QEvent::Type kind, Qt::MouseButton button, QPointF at) {
            QMouseEvent event(kind, at, at, button, button, Qt::NoModifier);
            QCoreApplication::sendEvent(&label, &event);
        };
        // Pressed with the right button, then released just outside and at the far corner.
        for (const auto& [button, at] :
             {std::pair{Qt::RightButton, QPointF(5, 5)}, std::pair{Qt::LeftButton, QPointF(120, 5)},
              std::pair{Qt::LeftButton, QPointF(119, 12)}}) {
            mouse(QEvent::MouseButtonPress, button, QPointF(2, 2));
            mouse(QEvent::MouseButtonRelease, button, at);
        }
        EXPECT_EQ(events, QStringList{"OnClick, opened 0"});
        EXPECT_EQ(opener.opened, link ? QStringList{"http://www.example.org/x"} : QStringList{});
    }
}

} // namespace
} // namespace zarvello
