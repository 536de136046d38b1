#include "widgets/GradProgress.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QFontDatabase>
#include <QPainter>
#include <QWindow>
#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <memory>
#include <vector>

namespace zarvello {
namespace {

const QColor kBack(1, 2, 3);
const QColor kShadow(10, 20, 30);
const QColor kLight(200, 210, 220);

QPalette fixedPalette()
{
    QPalette palette;
    palette.setColor(QPalette::Button, kBack);
    palette.setColor(QPalette::Dark, kShadow);
    palette.setColor(QPalette::Light, kLight);
    return palette;
}

// The meter's bar: 169 × 16, blue to red, one lowered ring, no text.
std::unique_ptr<TGradProgress> meterBar(int width = 169, int height = 16)
{
    auto bar = std::make_unique<TGradProgress>(nullptr);
    bar->setPalette(fixedPalette());
    bar->resize(width, height);
    bar->setShowPercent(false);
    bar->setStartColor(clBlue);
    bar->setEndColor(clRed);
    return bar;
}

QColor at(const TGradProgress& bar, int x, int y)
{
    return QColor::fromRgba(bar.image().pixel(x, y));
}

// Pixels where two images differ, as a bounding rectangle.
QRect difference(const QImage& a, const QImage& b)
{
    QRect box;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            if (a.pixel(x, y) != b.pixel(x, y)) {
                box |= QRect(x, y, 1, 1);
            }
        }
    }
    return box;
}

TEST(GradProgress, FillLengthStretchesTheGradientOverTheFill)
{
    struct Column
    {
        int x;
        QColor colour;
    };
    struct Case
    {
        const char* name;
        int width;
        int position;
        int maxValue;
        std::vector<Column> columns;
    };
    const QColor back = kBack;
    const std::vector<Case> cases{
        {"full 169", 169, 169, 169, {{1, {2, 0, 253}}, {167, {252, 0, 3}}, {168, kLight}}},
        {"1 of 3 gives 56", 169, 1, 3, {{1, {5, 0, 250}}, {55, {250, 0, 5}}, {56, back}}},
        {"fill 20", 169, 20, 169, {{1, {13, 0, 242}}, {19, {242, 0, 13}}, {20, back}}},
        {"fill 160", 169, 160, 169, {{1, {2, 0, 253}}, {159, {253, 0, 2}}, {160, back}}},
        {"long fill starts exactly in the start colour",
         600,
         1,
         1,
         {{1, {0, 0, 255}}, {598, {254, 0, 1}}}},
        {"empty", 169, 0, 1, {{1, back}, {100, back}, {167, back}}},
        {"MaxValue 0 leaves it empty", 169, 0, 0, {{1, back}, {167, back}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto bar = meterBar(c.width);
        bar->setMaxValue(c.maxValue);
        bar->setPosition(c.position);
        ASSERT_EQ(bar->image().size(), QSize(c.width, 16));
        for (const Column& column : c.columns) {
            for (int y = 1; y < 15; ++y) {
                ASSERT_EQ(at(*bar, column.x, y), column.colour)
                    << "column " << column.x << " row " << y;
            }
        }
    }
}

TEST(GradProgress, RawColourBitsMakeTheGradient)
{
    struct Case
    {
        const char* name;
        TColor colour;
        QColor expected;
    };
    for (const Case& c : {Case{"equal colours fill solid", TColor{0x00336699}, {0x99, 0x66, 0x33}},
                          Case{"clNone is white", clNone, {255, 255, 255}},
                          Case{"clBtnFace is not resolved", clBtnFace, {15, 0, 0}}}) {
        SCOPED_TRACE(c.name);
        auto bar = meterBar();
        bar->setMaxValue(1);
        bar->setPosition(1);
        bar->setStartColor(c.colour);
        bar->setEndColor(c.colour);
        for (const int x : {1, 2, 84, 166, 167}) {
            EXPECT_EQ(at(*bar, x, 7), c.expected) << "column " << x;
        }
    }
}

TEST(GradProgress, BevelRingsUseThePaletteShadowAndLight)
{
    struct Case
    {
        const char* name;
        TBevelStyleExt style;
        int width;
        QColor topLeft;
        QColor bottomRight;
    };
    for (const Case& c :
         {Case{"lowered", TBevelStyleExt::bsLowered, 1, kShadow, kLight},
          Case{"raised", TBevelStyleExt::bsRaised, 1, kLight, kShadow},
          Case{"three lowered rings", TBevelStyleExt::bsLowered, 3, kShadow, kLight},
          Case{"three raised rings", TBevelStyleExt::bsRaised, 3, kLight, kShadow}}) {
        SCOPED_TRACE(c.name);
        auto bar = meterBar();
        bar->setPalette(QPalette()); // drawn once with another palette: the image must follow
        (void)bar->image();
        bar->setPalette(fixedPalette());
        bar->setBevelStyle(c.style);
        bar->setBevelWidth(c.width);
        ASSERT_EQ(bar->BevelWidth(), c.width);
        for (int k = 0; k < c.width; ++k) {
            const int right = 168 - k;
            const int bottom = 15 - k;
            // Top and left sides; the bottom and right own the two odd corners.
            for (const QPoint p : {QPoint(k, k), QPoint(80, k), QPoint(k, 8)}) {
                EXPECT_EQ(at(*bar, p.x(), p.y()), c.topLeft) << "ring " << k << " at " << p.x();
            }
            for (const QPoint p : {QPoint(80, bottom), QPoint(right, 8), QPoint(right, k),
                                   QPoint(k, bottom), QPoint(right, bottom)}) {
                EXPECT_EQ(at(*bar, p.x(), p.y()), c.bottomRight)
                    << "ring " << k << " at " << p.x() << "," << p.y();
            }
        }
        EXPECT_EQ(at(*bar, c.width, c.width), kBack) << "inside the rings";
        EXPECT_EQ(at(*bar, 168 - c.width, 15 - c.width), kBack) << "inside the rings";
    }

    auto bar = meterBar();
    bar->setBevelStyle(TBevelStyleExt::bsNone);
    EXPECT_EQ(qAlpha(bar->image().pixel(0, 0)), 0) << "no frame: the parent shows through";
    EXPECT_EQ(qAlpha(bar->image().pixel(168, 8)), 0);
    EXPECT_EQ(at(*bar, 1, 1), kBack);
    EXPECT_EQ(at(*bar, 167, 14), kBack);
}

TEST(GradProgress, VerticalFillGrowsUpAndShowsTheEndColour)
{
    auto bar = meterBar(20, 100);
    bar->setStyle(TStyle::gsVertical);
    bar->setMaxValue(2);
    bar->setPosition(1); // fill 50 of 100 rows
    for (const int x : {1, 10, 18}) {
        EXPECT_EQ(at(*bar, x, 1), kBack);
        EXPECT_EQ(at(*bar, x, 49), kBack);
        EXPECT_EQ(at(*bar, x, 50), QColor(255, 0, 0)) << "the top fill row has the end colour";
        EXPECT_EQ(at(*bar, x, 51), QColor(250, 0, 5));
        EXPECT_EQ(at(*bar, x, 98), QColor(10, 0, 245));
        EXPECT_EQ(at(*bar, x, 99), kLight) << "bevel";
    }
}

TEST(GradProgress, PercentFigureComesFromTheFillLength)
{
    struct Case
    {
        const char* name;
        int width;
        int position;
        int maxValue;
        QString text;
    };
    for (const Case& c :
         {Case{"full", 169, 169, 169, "100%"}, Case{"1 of 3", 169, 1, 3, "33%"},
          Case{"pixels, not the ratio", 50, 1, 3, "34%"}, Case{"empty", 169, 0, 1, "0%"},
          Case{"MaxValue 0 is empty, not negative", 169, 0, 0, "0%"}}) {
        SCOPED_TRACE(c.name);
        auto bar = meterBar(c.width);
        bar->setMaxValue(c.maxValue);
        bar->setPosition(c.position);
        const QImage plain = bar->image().copy();
        QImage expected = plain;
        bar->setShowPercent(true);
        {
            const QRect inner(1, 1, c.width - 2, 14);
            QPainter painter(&expected);
            painter.setClipRect(inner);
            painter.setPen(Qt::white);
            painter.setFont(bar->font());
            painter.drawText(inner, Qt::AlignCenter | Qt::TextSingleLine, c.text);
        }
        ASSERT_NE(expected, plain) << "the text must show";
        EXPECT_EQ(bar->image(), expected);
    }
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
    const QImage monoText = render({mono}, mono, 16, true);
    const QImage serifText = render({serif}, serif, 16, true);
    ASSERT_NE(monoText, serifText) << "the two faces must look different for this test";
    const QRect turned = difference(render({mono}, mono, 16, false), monoText);
    EXPECT_GT(turned.height(), turned.width()) << "runs downward";
    const QRect upright =
        difference(render({mono}, mono, 80, false), render({mono}, mono, 80, true));
    EXPECT_GT(upright.width(), upright.height()) << "fits across, stays upright";

    EXPECT_EQ(render({serif, mono}, "MS Sans Serif", 16, true), monoText)
        << "an unlisted face gives way to the alphabetically first";
    EXPECT_EQ(render({serif, "liberation mono"}, "MS Sans Serif", 16, true),
              render({"liberation mono"}, "liberation mono", 16, true))
        << "the list is sorted without regard to case";
    EXPECT_EQ(render({mono, "liberation serif"}, serif, 16, true), serifText)
        << "listed faces are found without regard to case";
    EXPECT_EQ(render({}, serif, 16, true), serifText) << "with no faces, the bar keeps its own";
    EXPECT_EQ(render({mono}, serif, 80, true), render({serif}, serif, 80, true))
        << "upright text always keeps the bar's face";
}

TEST(GradProgress, FaceListHoldsTheInstalledScalableFamiliesSorted)
{
    const TGradProgress bar;
    const QStringList& faces = bar.faceList();
    ASSERT_FALSE(faces.isEmpty());
    EXPECT_TRUE(faces.contains("Liberation Sans", Qt::CaseInsensitive));
    for (qsizetype i = 1; i < faces.size(); ++i) {
        EXPECT_LE(QString::compare(faces[i - 1], faces[i], Qt::CaseInsensitive), 0)
            << faces[i - 1].toStdString() << " before " << faces[i].toStdString();
    }
    for (const QString& face : faces) {
        EXPECT_TRUE(QFontDatabase::isScalable(face)) << face.toStdString();
    }
}

TEST(GradProgress, SettersClampIgnoreAndRefuse)
{
    struct Case
    {
        const char* name;
        QSize size;
        std::function<void(TGradProgress&)> act;
        int position;
        int maxValue;
        int bevelWidth;
    };
    using B = TGradProgress;
    // Each starts from Position 40 of MaxValue 100.
    const std::vector<Case> cases{
        {"negative position ignored", {169, 16}, [](B& b) { b.setPosition(-5); }, 40, 100, 1},
        {"position above max clamped", {169, 16}, [](B& b) { b.setPosition(500); }, 100, 100, 1},
        {"lower max lowers position", {169, 16}, [](B& b) { b.setMaxValue(10); }, 10, 10, 1},
        {"negative max accepted", {169, 16}, [](B& b) { b.setMaxValue(-3); }, -3, -3, 1},
        {"bevel 6 fits 16 high", {169, 16}, [](B& b) { b.setBevelWidth(6); }, 40, 100, 6},
        {"bevel 7 refused on 16 high", {169, 16}, [](B& b) { b.setBevelWidth(7); }, 40, 100, 1},
        {"bevel refused on 15 wide", {15, 100}, [](B& b) { b.setBevelWidth(6); }, 40, 100, 1},
        {"bevel 5 fits 15 wide", {15, 100}, [](B& b) { b.setBevelWidth(5); }, 40, 100, 5},
        {"bevel above 10 is 10", {169, 40}, [](B& b) { b.setBevelWidth(25); }, 40, 100, 10},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto bar = meterBar(c.size.width(), c.size.height());
        bar->setPosition(40);
        c.act(*bar);
        EXPECT_EQ(bar->Position(), c.position);
        EXPECT_EQ(bar->MaxValue(), c.maxValue);
        EXPECT_EQ(bar->BevelWidth(), c.bevelWidth);
    }

    struct Stepping
    {
        int step;
        int times;
        int position;
    };
    for (const Stepping s : {Stepping{25, 1, 65}, Stepping{50, 2, 100}, Stepping{INT_MAX, 1, 100},
                             Stepping{-50, 1, 40}}) {
        SCOPED_TRACE(s.step);
        auto bar = meterBar();
        bar->setPosition(40);
        bar->setStep(s.step);
        for (int i = 0; i < s.times; ++i) {
            bar->Stepit();
        }
        EXPECT_EQ(bar->Position(), s.position) << "clamped like setPosition, without wrapping";
    }

    auto bar = meterBar();
    bar->setPosition(40);
    const QImage before = bar->image().copy();
    bar->setPosition(-5);
    EXPECT_EQ(bar->image(), before) << "a negative position leaves the bar as it was";
    bar->setMaxValue(10);
    EXPECT_EQ(at(*bar, 167, 8), QColor(252, 0, 3)) << "lowered max fills the whole bar";
}

class PaintCounter : public QObject
{
public:
    int paints = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint) {
            ++paints;
        }
        return QObject::eventFilter(watched, event);
    }
};

bool waitFor(const std::function<bool()>& condition)
{
    QDeadlineTimer deadline(5000);
    while (!condition()) {
        if (deadline.hasExpired()) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

// Delivers every update already asked for; Qt posts them as events.
void flushUpdates()
{
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
}

TEST(GradProgress, SettersRepaintOnlyTheBarAndOnlyWhenTheyShould)
{
    struct Case
    {
        const char* name;
        std::function<void(TGradProgress&)> act;
        bool repaints;
    };
    const std::vector<Case> cases{
        {"new position", [](auto& b) { b.setPosition(41); }, true},
        {"same position", [](auto& b) { b.setPosition(40); }, false},
        {"negative position", [](auto& b) { b.setPosition(-5); }, false},
        {"step", [](auto& b) { b.setStep(5); }, false},
        {"max value", [](auto& b) { b.setMaxValue(80); }, true},
        {"bevel accepted", [](auto& b) { b.setBevelWidth(6); }, true},
        {"bevel refused", [](auto& b) { b.setBevelWidth(7); }, true},
        {"show percent", [](auto& b) { b.setShowPercent(true); }, true},
        {"back colour", [](auto& b) { b.setBackColor(clWhite); }, true},
        {"font", [](auto& b) { b.setFont(QFont("Arial")); }, true},
    };
    QWidget window;
    window.resize(200, 40);
    TGradProgress* bar = new TGradProgress(&window);
    bar->setGeometry(10, 10, 169, 16);
    bar->setShowPercent(false);
    PaintCounter barPaints;
    PaintCounter windowPaints;
    bar->installEventFilter(&barPaints);
    window.installEventFilter(&windowPaints);
    window.show();
    ASSERT_TRUE(waitFor([&] { return barPaints.paints > 0 && windowPaints.paints > 0; }));

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        bar->setPosition(40);
        bar->setBevelWidth(1);
        bar->setShowPercent(false);
        bar->setBackColor(clBtnFace);
        flushUpdates();
        const int barBefore = barPaints.paints;
        const int windowBefore = windowPaints.paints;
        c.act(*bar);
        flushUpdates();
        EXPECT_EQ(barPaints.paints > barBefore, c.repaints);
        EXPECT_EQ(windowPaints.paints, windowBefore) << "the window beneath is not repainted";
    }
}

} // namespace
} // namespace zarvello
