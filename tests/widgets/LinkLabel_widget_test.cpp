#include "widgets/LinkLabel.h"

#include "support/FakeLinkOpener.h"

#include <QTest>
#include <gtest/gtest.h>

#include <tuple>
#include <vector>

namespace zarvello {
namespace {

using test::FakeLinkOpener;

bool looksLikeLink(const LinkLabel& label)
{
    return label.font().underline() &&
           label.palette().color(QPalette::Active, QPalette::WindowText) == QColor(0, 0, 255);
}

TEST(LinkLabel, AddressSetterStripsExactPrefixesAndPicksTheLinkType)
{
    using enum LinkType;
    // {given, stored, type before, type after}
    for (const auto& [given, stored, before, after] : {
             std::tuple{"MAILTO:a@b.org", "a@b.org", Http, Mailto},
             std::tuple{"mailto:", "", Http, Http},
             std::tuple{"HTTP://Example.org", "Example.org", Mailto, Http},
             std::tuple{"user@host.org/page", "user@host.org/page", Mailto, Http},
         }) {
        SCOPED_TRACE(given);
        FakeLinkOpener opener({"http", "mailto"});
        LinkLabel label(nullptr, &opener);
        label.setLinkType(before);
        label.setUrl(given);
        EXPECT_EQ(std::tuple(label.url(), label.linkType(), label.caption(), label.hint()),
                  std::tuple(QString(stored), after, QString(stored), QString(stored)));
    }
}

TEST(LinkLabel, PlaceholderPrefixCaptionAndHintFollowTheSettings)
{
    FakeLinkOpener opener({"http"});
    LinkLabel label(nullptr, &opener);
    EXPECT_EQ(std::pair(label.caption(), label.hint()),
              std::pair(QString(kPlaceholderWebAddress), QString()))
        << "the placeholder sets no hint";
    label.setLinkType(LinkType::Mailto);
    EXPECT_EQ(std::pair(label.url(), looksLikeLink(label)),
              std::pair(QString(kPlaceholderMailAddress), false))
        << "no mail handler: passive under Auto";
    label.setLinkType(LinkType::Http);
    EXPECT_EQ(std::pair(label.url(), looksLikeLink(label)),
              std::pair(QString(kPlaceholderWebAddress), true));
    label.setUrl(QStringLiteral("www.example.org"));
    label.setPrefixShown(true);
    label.setLinkType(LinkType::Mailto);
    EXPECT_EQ(label.caption(), u"mailto:www.example.org") << "only the placeholder is swapped";
    label.setLinkType(LinkType::Http);
    EXPECT_EQ(label.caption(), u"http://www.example.org") << "only the placeholder is swapped";
    label.setCaption(QStringLiteral("Download"));
    label.setUrl(QStringLiteral("www.example.org/new"));
    EXPECT_EQ(std::pair(label.caption(), label.hint()),
              std::pair(QString("Download"), QString("http://www.example.org/new")));
    label.setUrlHint(false);
    EXPECT_TRUE(label.toolTip().isEmpty());
}

TEST(LinkLabel, LabelTypeDecidesLookAndAReleaseInsideOpensAfterOnClick)
{
    for (const auto& [type, available, link] :
         {std::tuple{LabelType::Auto, true, true}, std::tuple{LabelType::Auto, false, false},
          std::tuple{LabelType::Passive, true, false}, std::tuple{LabelType::Link, false, true}}) {
        SCOPED_TRACE(testing::Message() << static_cast<int>(type) << " " << available);
        FakeLinkOpener opener(available ? QStringList{"http"} : QStringList{});
        LinkLabel label(nullptr, &opener);
        label.resize(120, 13);
        label.setUrl(QStringLiteral("www.example.org/x"));
        // Going through another type makes sure the look is applied for this one.
        label.setLabelType(type == LabelType::Link ? LabelType::Passive : LabelType::Link);
        label.setLabelType(type);
        EXPECT_EQ(looksLikeLink(label), link);
        std::vector<qsizetype> openedBeforeOnClick;
        QObject::connect(&label, &LinkLabel::clicked,
                         [&] { openedBeforeOnClick.push_back(opener.opened.size()); });
        // Pressed with the right button, then released just outside and at the far corner.
        for (const auto& [button, at] :
             {std::pair{Qt::RightButton, QPoint(5, 5)}, std::pair{Qt::LeftButton, QPoint(120, 5)},
              std::pair{Qt::LeftButton, QPoint(119, 12)}}) {
            QTest::mousePress(&label, button, {}, QPoint(2, 2));
            QTest::mouseRelease(&label, button, {}, at);
        }
        EXPECT_EQ(openedBeforeOnClick, std::vector<qsizetype>{0});
        EXPECT_EQ(opener.opened, link ? QStringList{"http://www.example.org/x"} : QStringList{});
    }
}

} // namespace
} // namespace zarvello
