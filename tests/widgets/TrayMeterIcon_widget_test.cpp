#include "widgets/TrayMeterIcon.h"

#include <QPainter>
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

namespace zarvello {
namespace {

TEST(TrayMeterIconDrawing, FillsRoundedColumnsFromTheStartEdge)
{
    // {min, max, position, filled columns, percent}
    // clang-format off
    for (const auto& [min, max, position, columns, percent] : std::vector<std::tuple<int, int, int, int, int>>{
             {0, 100, 50, 8, 50},
             {0, 100, 99, 16, 99}, // 15.84 rounds to a full bar while the figure reads 99
             {0, 32, 1, 0, 3},     // 0.5: ties go to even
             {0, 32, 3, 2, 9},     // 1.5
             {0, 32, 5, 2, 15},    // 2.5
             {0, 0, 0, 1, 100},    // empty range: one column, full percent
             {0, 100, 29, 5, 29},  // exact: 29 / 100 * 100 in doubles is 28.999...
             {INT_MIN, INT_MAX, 0, 8, 50}, // the width does not fit in an int
             {INT_MIN, INT_MAX, INT_MAX, 16, 100}}) {
        // clang-format on
        SCOPED_TRACE(testing::Message() << min << ".." << max << " at " << position);
        EXPECT_EQ(trayFilledColumns(min, max, position), columns);
        EXPECT_EQ(trayPercent(min, max, position), percent);
        for (const BarKind kind : {BarKind::Horizontal, BarKind::Vertical}) {
            // No text or frame to hide some of the columns.
            const QImage image =
                drawTrayProgress({min, max, position, kind, false, BorderStyle::None, clBlue,
                                  clWhite, clRed, QFont(), clBlack});
            // Horizontal fills from the left, vertical from the bottom.
            QImage expected(16, 16, QImage::Format_RGB32);
            expected.fill(toQColor(clWhite));
            QPainter(&expected).fillRect(kind == BarKind::Horizontal
                                             ? QRect(0, 0, columns, 16)
                                             : QRect(0, 16 - columns, 16, columns),
                                         toQColor(clBlue));
            EXPECT_EQ(image, expected) << "kind " << static_cast<int>(kind);
        }
    }
}

// On a doubled screen the same rules are drawn on 32 x 32 device pixels, not blown up.
TEST(TrayMeterIconDrawing, AtTwiceTheScaleTheRulesUseEveryDevicePixel)
{
    const TrayProgressLook look{.position = 47, // horizontal, framed, black figure
                                .textVisible = false,
                                .foreColour = clBlue,
                                .borderColour = clRed,
                                .font = trayDrawingFont(QFont("Arial", 8)),
                                .scale = 2};
    const QImage image = drawTrayProgress(look);
    ASSERT_EQ(image.size(), QSize(32, 32));
    EXPECT_EQ(image.devicePixelRatio(), 2.0);
    QString rows;
    for (const int y : {0, 1, 2, 29, 30, 31}) {
        for (const int x : {0, 1, 2, 14, 15, 16, 29, 30, 31}) {
            const QRgb p = image.pixel(x, y);
            rows += p == toQColor(clRed).rgb() ? 'B' : p == toQColor(clBlue).rgb() ? 'f' : '.';
        }
        rows += ' ';
    }
    // A two-pixel border; 47 % fills columns 0-14 of 32 (16 columns would give 8, doubled 16).
    EXPECT_EQ(rows.toStdString(), "BBBBBBBBB BBBBBBBBB BBff...BB BBff...BB BBBBBBBBB BBBBBBBBB ");

    // The figure is drawn twice the size, in the font colour on the empty part.
    const auto figurePixels = [font = look.font](int scale) {
        const QImage drawn = drawTrayProgress({.borderStyle = BorderStyle::None,
                                               .font = font,
                                               .textColour = clBlack,
                                               .scale = scale});
        const auto* bits = reinterpret_cast<const QRgb*>(drawn.constBits());
        return std::count(bits, bits + drawn.width() * drawn.height(), toQColor(clBlack).rgb());
    };
    const auto single = figurePixels(1);
    EXPECT_GT(single, 0);
    EXPECT_GE(figurePixels(2), 3 * single);
}

TEST(TrayMeterIconDrawing, TipFillsInThePercentAndIsCut)
{
    for (const auto& [toolTip, inHint, tip] :
         {std::tuple{"In %s", true, "In 42%"}, std::tuple{"In %S", true, "In 42%"},
          std::tuple{"In %s", false, "In %s"}, std::tuple{"No figure", true, "No figure"},
          std::tuple{"%s of 100%%", true, "42% of 100%"}, std::tuple{"%d %s 5%", true, "%d 42% 5%"},
          std::tuple{"", true, ""}}) {
        EXPECT_EQ(trayTip(QString::fromLatin1(toolTip), inHint, 42), QString::fromLatin1(tip))
            << toolTip;
    }
    TrayMeterIcon bar;
    bar.setToolTip(QString(70, u'x'));
    EXPECT_EQ(bar.toolTip(), QString(62, u'x'));
    bar.setToolTip(QString(61, u'x') + QString::fromUtf8("\U0001F600"));
    EXPECT_EQ(bar.toolTip(), QString(61, u'x')) << "a character is not cut in half";
}

TEST(TrayMeterIcon, SettersRedrawOnlyForANewValueAndRangeErrorsKeepTheOldOne)
{
    using Act = std::function<void(TrayMeterIcon&)>;
    const bool none = false, error = true;
    // From 50 of 0..100: {what, change, new pixels, range error, Min, Max, Position}
    // clang-format off
    const std::vector<std::tuple<const char*, Act, bool, bool, int, int, int>> rows{
        {"position", [](auto& b) { b.setPosition(30); }, true, none, 0, 100, 30},
        {"same position", [](auto& b) { b.setPosition(50); }, false, none, 0, 100, 50},
        {"beyond max, compared unclamped", [](auto& b) { b.setPosition(500); }, true, none, 0, 100, 100},
        {"Max below Min", [](auto& b) { b.setMaximum(-5); }, false, error, 0, 100, 50},
        {"Min above Max", [](auto& b) { b.setMinimum(101); }, false, error, 0, 100, 50},
        {"Max below Position", [](auto& b) { b.setMaximum(40); }, true, none, 0, 40, 40},
        {"Min above Position", [](auto& b) { b.setMinimum(60); }, true, none, 60, 100, 60},
        {"Max equal to Min", [](auto& b) { b.setMaximum(0); }, true, none, 0, 0, 0},
        {"Min equal to Max", [](auto& b) { b.setMinimum(100); }, true, none, 100, 100, 100},
        {"kind", [](auto& b) { b.setKind(BarKind::Vertical); }, true, none, 0, 100, 50},
        {"font", [](auto& b) { b.setTextFont(QFont("Arial", 6)); }, true, none, 0, 100, 50},
        {"border colour", [](auto& b) { b.setBorderColour(clRed); }, true, none, 0, 100, 50},
    };
    // clang-format on
    for (const auto& [what, change, redraws, errors, min, max, position] : rows) {
        SCOPED_TRACE(what);
        QStringList reported;
        TrayMeterIcon bar;
        bar.setErrorReporter([&reported](const QString& text) { reported << text; });
        bar.setPosition(50);
        const qint64 before = bar.icon().cacheKey();
        change(bar);
        EXPECT_EQ(bar.icon().cacheKey() != before, redraws);
        EXPECT_EQ(reported,
                  errors ? QStringList{"Trayscrollbar property out of range!"} : QStringList{});
        EXPECT_EQ(std::tuple(bar.minimum(), bar.maximum(), bar.position()),
                  std::tuple(min, max, position));
    }
}

TEST(TrayMeterIcon, ShowsAFramedBarWhenActiveAndTheMaxIconForAFullOne)
{
    TrayMeterIcon bar;
    EXPECT_EQ(bar.iconImage().pixel(8, 14), toQColor(clHighlightText).rgb()) << "empty";
    bar.setActive(true);
    EXPECT_TRUE(bar.trayIcon()->isVisible()) << "shown whether or not a tray host runs";
    bar.setActive(false);
    EXPECT_FALSE(bar.trayIcon()->isVisible());

    bar.setBorderColour(clRed);
    EXPECT_EQ(bar.iconImage().pixel(0, 0), toQColor(clRed).rgb());
    // The tray paints into its own square: as an icon made from the image would, centred,
    // never enlarged.
    const auto painted = [](const QIcon& icon, int side) {
        QImage square(side, side, QImage::Format_ARGB32_Premultiplied);
        square.fill(Qt::transparent);
        QPainter painter(&square);
        icon.paint(&painter, square.rect());
        return square;
    };
    const QIcon plain(QPixmap::fromImage(bar.iconImage()));
    for (const int side : {24, 16, 12}) {
        EXPECT_EQ(painted(bar.icon(), side), painted(plain, side)) << side;
    }

    bar.setToolTip(QStringLiteral("%s"));
    bar.setPercentInToolTip(true);
    EXPECT_EQ(bar.tip(), "0%") << "the hint follows at once";
    bar.setMaximum(1);
    const QIcon full(QPixmap(16, 16));
    bar.setMaxIcon(full);
    EXPECT_NE(bar.icon().cacheKey(), full.cacheKey()) << "not full yet";
    bar.setPosition(1);
    EXPECT_EQ(std::pair(bar.icon().cacheKey(), bar.tip()),
              std::pair(full.cacheKey(), QString("100%")));
}

TEST(TrayMeterIcon, ADoubleClickIsClickDoubleClickClickAndUnhandledEventsAreDropped)
{
    TrayMeterIcon bar; // no click came before, and there is no menu for the right button
    std::string got;
    QObject::connect(&bar, &TrayMeterIcon::clicked, [&] { got += "click "; });
    QObject::connect(&bar, &TrayMeterIcon::doubleClicked, [&] { got += "dbl "; });
    for (const auto reason :
         {QSystemTrayIcon::Context, QSystemTrayIcon::Unknown, QSystemTrayIcon::DoubleClick})
        Q_EMIT bar.trayIcon()->activated(reason);
    EXPECT_EQ(got, "click dbl click ") << "the first click supplied";
}

} // namespace
} // namespace zarvello
