#include "widgets/GradProgress.h"

#include "support/Wait.h"

#include <QPainter>
#include <gtest/gtest.h>

#include <climits>
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
    TStyle style = TStyle::gsHorizontal;
    TBevelStyleExt bevel = TBevelStyleExt::bsLowered;
    int rings = 1;
    TColor start = clBlue;
    TColor end = clRed;
    int position = 0;
    int max = 100;
};

// A bar without text in a palette of known colours, drawn once before it takes the look, so
// every setter must make the image follow.
std::unique_ptr<TGradProgress> makeBar(const Look& look, QWidget* parent = nullptr)
{
    auto bar = std::make_unique<TGradProgress>(QStringList{}, parent);
    bar->resize(look.width, look.height);
    (void)bar->image();
    QPalette palette;
    palette.setColor(QPalette::Button, kBack);
    palette.setColor(QPalette::Dark, kShadow);
    palette.setColor(QPalette::Light, kLight);
    bar->setPalette(palette);
    bar->setShowPercent(false);
    bar->setStyle(look.style);
    bar->setBevelStyle(look.bevel);
    bar->setBevelWidth(look.rings);
    bar->setStartColor(look.start);
    bar->setEndColor(look.end);
    bar->setPosition(look.position);
    bar->setMaxValue(look.max);
    return bar;
}

TEST(GradProgress, DrawsFillAndBevelToTheExactPixel)
{
    using Pixels = std::vector<std::tuple<int, int, QColor>>;
    // clang-format off
    const std::vector<std::tuple<const char*, Look, Pixels>> rows{
        {"full: one lowered ring", {.position = 100},
         {{0, 0, kShadow}, {167, 0, kShadow}, {0, 14, kShadow}, {168, 0, kLight}, {0, 15, kLight}, {168, 15, kLight}}},
        {"full: gradient", {.position = 100}, {{1, 1, {2, 0, 253}}, {167, 14, {252, 0, 3}}}},
        {"1 of 3 fills 56 columns", {.position = 1, .max = 3},
         {{1, 1, {5, 0, 250}}, {55, 14, {250, 0, 5}}, {56, 1, kBack}, {56, 14, kBack}}},
        {"fill 20", {.position = 20, .max = 169}, {{1, 14, {13, 0, 242}}, {19, 1, {242, 0, 13}}, {20, 1, kBack}}},
        {"a lowered max lowers the position", {.position = 40, .max = 10}, {{167, 8, {252, 0, 3}}}},
        {"a long fill starts in the start colour", {.width = 600, .position = 1, .max = 1},
         {{1, 1, {0, 0, 255}}, {598, 14, {254, 0, 1}}}},
        {"empty", {}, {{1, 1, kBack}, {167, 14, kBack}}},
        {"MaxValue 0 is empty", {.max = 0}, {{1, 1, kBack}}},
        {"clNone bits are white", {.start = clNone, .end = clNone, .position = 100},
         {{1, 7, Qt::white}, {167, 7, Qt::white}}},
        {"system colours are not resolved", {.start = clBtnFace, .end = clBtnFace, .position = 9},
         {{1, 7, {15, 0, 0}}, {14, 7, {15, 0, 0}}, {15, 7, kBack}}},
        {"three raised rings", {.bevel = TBevelStyleExt::bsRaised, .rings = 3},
         {{0, 0, kLight}, {2, 2, kLight}, {165, 2, kLight}, {2, 12, kLight}, {166, 2, kShadow},
          {2, 13, kShadow}, {166, 13, kShadow}, {168, 15, kShadow}, {3, 3, kBack}, {165, 12, kBack}}},
        {"no frame shows the parent", {.bevel = TBevelStyleExt::bsNone},
         {{0, 0, Qt::transparent}, {168, 15, Qt::transparent}, {1, 1, kBack}, {167, 14, kBack}}},
        {"vertical, MaxValue 0 is empty", {.width = 20, .height = 100, .style = TStyle::gsVertical, .max = 0},
         {{1, 1, kBack}, {18, 98, kBack}}},
        {"vertical, position 0 is empty to the bottom", {.width = 20, .height = 100, .style = TStyle::gsVertical},
         {{1, 98, kBack}, {18, 97, kBack}}},
        {"vertical grows up to the end colour", {.width = 20, .height = 100, .style = TStyle::gsVertical, .position = 50},
         {{1, 1, kBack}, {18, 49, kBack}, {1, 50, {255, 0, 0}}, {18, 51, {250, 0, 5}}, {1, 98, {10, 0, 245}}, {18, 99, kLight}}},
    };
    // clang-format on
    for (const auto& [what, look, pixels] : rows) {
        const auto bar = makeBar(look);
        for (const auto& [x, y, colour] : pixels) {
            EXPECT_EQ(QColor::fromRgba(bar->image().pixel(x, y)), colour)
                << what << " at " << x << "," << y;
        }
    }
    // A drawn bar laid out anew, in one direction at a time.
    const auto bar = makeBar({.position = 100});
    for (const QSize size : {QSize(100, 16), QSize(100, 20)}) {
        bar->resize(size);
        EXPECT_EQ(bar->image().size(), size);
        EXPECT_EQ(QColor::fromRgba(bar->image().pixel(98, size.height() - 2)), QColor(250, 0, 5));
    }
}

TEST(GradProgress, PercentFigureComesFromTheFillLength)
{
    for (const auto& [width, position, max, text] :
         {std::tuple{169, 100, 100, "100%"}, std::tuple{169, 1, 3, "33%"},
          std::tuple{50, 1, 3, "34%"} /* pixels, not the ratio */, std::tuple{169, 0, 0, "0%"}}) {
        const auto bar = makeBar({.width = width, .position = position, .max = max});
        QImage expected = bar->image().copy();
        bar->setShowPercent(true);
        QPainter painter(&expected);
        const QRect inner(1, 1, width - 2, 14);
        painter.setClipRect(inner);
        painter.setPen(Qt::white);
        painter.setFont(bar->font());
        painter.drawText(inner, Qt::AlignCenter | Qt::TextSingleLine, QString::fromLatin1(text));
        painter.end();
        EXPECT_EQ(bar->image(), expected) << text;
    }
    const auto bar = makeBar({});
    bar->setShowPercent(true);
    const QImage small = bar->image().copy();
    QFont font = bar->font();
    font.setPixelSize(14);
    bar->setFont(font);
    EXPECT_NE(bar->image(), small) << "a new font redraws the figure";
}

TEST(GradProgress, NarrowVerticalBarTurnsItsTextInTheFirstListedFace)
{
    const QString mono = "Liberation Mono";
    const QString serif = "Liberation Serif";
    const auto render = [](QStringList faces, const QString& family, int width, bool percent) {
        TGradProgress bar(std::move(faces), nullptr);
        bar.resize(width, 100);
        bar.setStyle(TStyle::gsVertical);
        bar.setShowPercent(percent);
        QFont font = bar.font();
        font.setFamily(family);
        font.setPixelSize(14);
        bar.setFont(font);
        return bar.image().copy();
    };
    const auto textBox = [&](int width) {
        const QImage plain = render({mono}, mono, width, false);
        const QImage text = render({mono}, mono, width, true);
        QRect box;
        for (int y = 0; y < plain.height(); ++y) {
            for (int x = 0; x < plain.width(); ++x) {
                box |= plain.pixel(x, y) != text.pixel(x, y) ? QRect(x, y, 1, 1) : QRect();
            }
        }
        return box;
    };
    EXPECT_GT(textBox(16).height(), textBox(16).width()) << "turned: runs downward";
    EXPECT_GT(textBox(80).width(), textBox(80).height()) << "fits across: upright";

    const QImage serifText = render({serif}, serif, 16, true);
    ASSERT_NE(render({mono}, mono, 16, true), serifText) << "the faces must look different";
    EXPECT_EQ(render({serif, "liberation mono"}, "MS Sans Serif", 16, true),
              render({"liberation mono"}, "liberation mono", 16, true))
        << "an unlisted face gives way to the first, sorted without regard to case";
    EXPECT_EQ(render({mono, "liberation serif"}, serif, 16, true), serifText)
        << "listed faces are found without regard to case";
    EXPECT_EQ(render({}, serif, 16, true), serifText) << "with no faces, the bar keeps its own";
    EXPECT_EQ(render({mono}, serif, 80, true), render({serif}, serif, 80, true))
        << "upright text keeps the bar's face";
    EXPECT_TRUE(TGradProgress().faceList().contains("Liberation Sans"))
        << "by default, the installed scalable families";
}

struct PaintCounter : QObject
{
    int paints = 0;
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        paints += event->type() == QEvent::Paint ? 1 : 0;
        return QObject::eventFilter(watched, event);
    }
};

TEST(GradProgress, SettersClampRefuseAndRepaintOnlyTheBarWhenTheyShould)
{
    using Act = std::function<void(TGradProgress&)>;
    const auto stepBy = [](int step) {
        return Act([step](TGradProgress& bar) {
            bar.setStep(step);
            bar.Stepit();
        });
    };
    const QSize meter(169, 16);
    // From Position 40 of 100: {what, size, change, Position, MaxValue, bevel, repaints}
    // clang-format off
    const std::vector<std::tuple<const char*, QSize, Act, int, int, int, bool>> rows{
        {"new position", meter, [](auto& b) { b.setPosition(41); }, 41, 100, 1, true},
        {"same position", meter, [](auto& b) { b.setPosition(40); }, 40, 100, 1, false},
        {"negative position ignored", meter, [](auto& b) { b.setPosition(-5); }, 40, 100, 1, false},
        {"position clamped to max", meter, [](auto& b) { b.setPosition(500); }, 100, 100, 1, true},
        {"lower max lowers position", meter, [](auto& b) { b.setMaxValue(10); }, 10, 10, 1, true},
        {"negative max accepted", meter, [](auto& b) { b.setMaxValue(-3); }, -3, -3, 1, true},
        {"bevel 6 fits 16 high", meter, [](auto& b) { b.setBevelWidth(6); }, 40, 100, 6, true},
        {"bevel 7 refused, 16 high", meter, [](auto& b) { b.setBevelWidth(7); }, 40, 100, 1, true},
        {"bevel 6 refused, 15 wide", {15, 100}, [](auto& b) { b.setBevelWidth(6); }, 40, 100, 1, true},
        {"bevel 5 fits 15 wide", {15, 100}, [](auto& b) { b.setBevelWidth(5); }, 40, 100, 5, true},
        {"bevel above 10 is 10", {169, 40}, [](auto& b) { b.setBevelWidth(25); }, 40, 100, 10, true},
        {"step alone", meter, [](auto& b) { b.setStep(5); }, 40, 100, 1, false},
        {"step 25", meter, stepBy(25), 65, 100, 1, true},
        {"step beyond max", meter, stepBy(INT_MAX), 100, 100, 1, true},
        {"step below 0", meter, stepBy(-50), 40, 100, 1, false},
        {"show percent", meter, [](auto& b) { b.setShowPercent(true); }, 40, 100, 1, true},
        {"back colour", meter, [](auto& b) { b.setBackColor(clWhite); }, 40, 100, 1, true},
        {"font colour", meter, [](auto& b) { b.setFontColor(clBlack); }, 40, 100, 1, true},
    };
    // clang-format on
    for (const auto& [what, size, change, position, max, bevel, repaints] : rows) {
        SCOPED_TRACE(what);
        QWidget window;
        window.resize(200, 120);
        const auto bar =
            makeBar({.width = size.width(), .height = size.height(), .position = 40}, &window);
        PaintCounter barPaints;
        PaintCounter windowPaints;
        bar->installEventFilter(&barPaints);
        window.installEventFilter(&windowPaints);
        window.show();
        ASSERT_TRUE(waitUntil([&] { return barPaints.paints > 0 && windowPaints.paints > 0; }));
        const int barBefore = barPaints.paints;
        const int windowBefore = windowPaints.paints;
        change(*bar);
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        EXPECT_EQ(std::tuple(bar->Position(), bar->MaxValue(), bar->BevelWidth()),
                  std::tuple(position, max, bevel));
        EXPECT_EQ(barPaints.paints > barBefore, repaints);
        EXPECT_EQ(windowPaints.paints, windowBefore) << "the window beneath is not repainted";
    }
}

} // namespace
} // namespace zarvello
