#include "widgets/GradientBar.h"

#include <QApplication>
#include <QPainter>
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <functional>
#include <memory>
#include <tuple>
#include <vector>

namespace zarvello {
namespace {

const QColor kBack(1, 2, 3);
const QColor kShadow(10, 20, 30);
const QColor kLight(200, 210, 220);

struct Look
{
    int width = 169;
    int height = 16;
    GradientStyle style = GradientStyle::Horizontal;
    BevelStyle bevel = BevelStyle::Lowered;
    int rings = 1;
    Colour start = clBlue;
    Colour end = clRed;
    Colour back = clBtnFace;
    int position = 0;
    int max = 100;
};

// A bar without text, drawn once before it takes a palette of known colours and the look,
// so every change must make the image follow.
std::unique_ptr<GradientBar> makeBar(const Look& look)
{
    auto bar = std::make_unique<GradientBar>(QStringList{}, nullptr);
    bar->resize(look.width, look.height);
    bar->setTextVisible(false);
    (void)bar->image();
    QPalette palette;
    palette.setColor(QPalette::Button, kBack);
    palette.setColor(QPalette::Dark, kShadow);
    palette.setColor(QPalette::Light, kLight);
    bar->setPalette(palette);
    bar->setGradientStyle(look.style);
    bar->setBevelStyle(look.bevel);
    bar->setBevelWidth(look.rings);
    bar->setStartColour(look.start);
    bar->setEndColour(look.end);
    bar->setBackColour(look.back);
    bar->setPosition(look.position);
    bar->setMaxValue(look.max);
    return bar;
}

TEST(GradientBar, DrawsFillAndBevelToTheExactPixel)
{
    using Pixels = std::vector<std::tuple<int, int, QColor>>;
    const auto vertical = GradientStyle::Vertical;
    // clang-format off
    const std::vector<std::tuple<const char*, Look, Pixels>> rows{
        {"full: one lowered ring around the gradient", {.position = 100},
         {{0, 0, kShadow}, {167, 0, kShadow}, {0, 14, kShadow}, {168, 0, kLight}, {168, 1, kLight}, {0, 15, kLight}, {168, 15, kLight},
          {1, 1, {2, 0, 253}}, {167, 14, {252, 0, 3}}}},
        {"1 of 3 fills 56 columns", {.position = 1, .max = 3},
         {{1, 1, {5, 0, 250}}, {55, 14, {250, 0, 5}}, {56, 1, kBack}, {56, 14, kBack}}},
        {"empty, in the new palette", {}, {{1, 1, kBack}, {167, 14, kBack}}},
        {"MaxValue 0 is empty", {.max = 0}, {{1, 1, kBack}}},
        {"back colour", {.back = clLime}, {{1, 1, {0, 255, 0}}, {167, 14, {0, 255, 0}}}},
        {"three raised rings", {.bevel = BevelStyle::Raised, .rings = 3},
         {{0, 0, kLight}, {2, 2, kLight}, {165, 2, kLight}, {2, 12, kLight}, {166, 2, kShadow},
          {2, 13, kShadow}, {166, 13, kShadow}, {168, 15, kShadow}, {3, 3, kBack}, {165, 12, kBack}}},
        {"no frame shows the parent", {.bevel = BevelStyle::None},
         {{0, 0, Qt::transparent}, {168, 15, Qt::transparent}, {1, 1, kBack}, {167, 14, kBack}}},
        {"vertical, position 0 is empty to the bottom", {.width = 20, .height = 100, .style = vertical, .bevel = BevelStyle::None},
         {{1, 98, kBack}, {18, 97, kBack}, {1, 99, Qt::transparent}}},
        {"vertical grows up to the end colour", {.width = 20, .height = 100, .style = vertical, .position = 50},
         {{1, 1, kBack}, {18, 49, kBack}, {1, 50, {255, 0, 0}}, {18, 51, {250, 0, 5}}, {1, 98, {10, 0, 245}}, {18, 99, kLight}}},
    };
    // clang-format on
    for (const auto& [what, look, pixels] : rows) {
        SCOPED_TRACE(what);
        const auto bar = makeBar(look);
        // Opaque painting is what keeps Qt from painting the parent first, so bars never flicker.
        EXPECT_EQ(bar->testAttribute(Qt::WA_OpaquePaintEvent), look.bevel != BevelStyle::None);
        for (const auto& [x, y, colour] : pixels) {
            EXPECT_EQ(QColor::fromRgba(bar->image().pixel(x, y)), colour) << x << "," << y;
        }
    }
}

// The bar as it should look with its figure: the text-free image with the text drawn over it.
QImage withText(const GradientBar& bar, const QFont& font,
                const std::function<void(QPainter&, const QRect&)>& draw)
{
    QImage expected = bar.image().copy();
    QPainter painter(&expected);
    const int inset = bar.bevelWidth();
    const QRect inner(inset, inset, bar.width() - 2 * inset, bar.height() - 2 * inset);
    painter.setClipRect(inner);
    painter.setPen(toQColor(bar.textColour()));
    painter.setFont(font);
    draw(painter, inner);
    return expected;
}

TEST(GradientBar, PercentFigureComesFromTheFillLengthCentredAcrossTheBar)
{
    // Just fits inside two rings when measured with the UI font.
    const int across = QFontMetrics(QApplication::font()).horizontalAdvance("34%") + 10;
    // clang-format off
    for (const auto& [look, text] : {std::pair{Look{.position = 100}, "100%"},
                                     std::pair{Look{.width = 50, .position = 1, .max = 3}, "34%"}, // pixels, not the ratio
                                     std::pair{Look{.width = across, .height = 50, .style = GradientStyle::Vertical, .rings = 2, .position = 1, .max = 3}, "34%"}}) {
        // clang-format on
        SCOPED_TRACE(text);
        const auto bar = makeBar(look);
        bar->setTextColour(clYellow);
        const QImage expected = withText(*bar, bar->font(), [&](QPainter& painter, QRect inner) {
            painter.drawText(inner, Qt::AlignCenter | Qt::TextSingleLine, text);
        });
        bar->setTextVisible(true);
        EXPECT_EQ(bar->image(), expected);
    }
}

TEST(GradientBar, NarrowVerticalBarTurnsItsTextInTheFirstListedFace)
{
    const QFontMetrics ui(QApplication::font());
    // {face list, the bar's face, the face the turned text is drawn in}
    for (const auto& [faces, own, used] :
         {std::tuple{QStringList{"Liberation Serif", "liberation mono"}, "DejaVu Sans",
                     "liberation mono"}, // unlisted: the first, sorted without regard to case
          std::tuple{QStringList{}, "Liberation Serif", "Liberation Serif"}}) {
        // Four widths and heights, so the centring meets every case of rounding a half; the
        // last just too narrow for upright text inside two rings.
        for (const int width : {12, 13, 14, 15, ui.horizontalAdvance("0%") + 9}) {
            SCOPED_TRACE(testing::Message() << own << ", " << width << " wide");
            GradientBar bar(faces, nullptr);
            bar.resize(width, 100 + width);
            bar.setGradientStyle(GradientStyle::Vertical);
            bar.setBevelWidth(2);
            bar.setTextVisible(false);
            QFont font = bar.font();
            font.setFamily(own);
            bar.setFont(font);
            font.setFamily(used);
            const QImage expected = withText(bar, font, [&](QPainter& painter, QRect) {
                // A quarter turn clockwise, centred with halves rounded to even.
                painter.translate(
                    std::nearbyint((width + ui.height() - 3) / 2.0),
                    std::nearbyint((bar.height() - ui.horizontalAdvance("0%") + 3) / 2.0));
                painter.rotate(90);
                painter.drawText(0, painter.fontMetrics().ascent(), "0%");
            });
            bar.setTextVisible(true);
            EXPECT_EQ(bar.image(), expected);
        }
    }
}

TEST(GradientBar, BevelMustLeaveRoomAndPositionStaysInRange)
{
    // {size, rings asked, rings kept}
    for (const auto& [size, asked, kept] :
         {std::tuple{QSize(169, 16), 6, 6}, std::tuple{QSize(169, 16), 7, 1},
          std::tuple{QSize(16, 100), 6, 6}, std::tuple{QSize(16, 100), 7, 1},
          std::tuple{QSize(169, 40), 25, 10}}) {
        const auto bar = makeBar({.width = size.width(), .height = size.height(), .rings = asked});
        EXPECT_EQ(bar->bevelWidth(), kept) << size.width() << "x" << size.height() << ", " << asked;
    }
    const auto bar = makeBar({.position = 40});
    bar->setPosition(-5);
    EXPECT_EQ(bar->position(), 40) << "a negative position is ignored";
    bar->setStep(INT_MAX);
    bar->stepIt();
    EXPECT_EQ(bar->position(), 100) << "a step is clamped like any position";
}

} // namespace
} // namespace zarvello
