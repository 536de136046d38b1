#include "widgets/TrayProgressBar.h"

#include <QCoreApplication>
#include <QCursor>
#include <QDeadlineTimer>
#include <QSet>
#include <QTimer>

#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <string>
#include <vector>

namespace zarvello {
namespace {

constexpr QRgb kYellow = 0xFFFFFF00u;
constexpr QRgb kLime = 0xFF00FF00u;

QRgb rgb(TColor colour)
{
    return toQColor(colour).rgb();
}

// Plain colours, all different from each other and from both markers.
TrayProgressLook plainLook(int min, int max, int position)
{
    TrayProgressLook look;
    look.min = min;
    look.max = max;
    look.position = position;
    look.foreColor = clBlue;
    look.backColor = clWhite;
    look.borderColor = clRed;
    look.fontColor = clBlack;
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(8);
    look.font = trayDrawingFont(font);
    return look;
}

QSet<QRgb> coloursIn(const QImage& image, int x0, int x1)
{
    QSet<QRgb> colours;
    for (int x = x0; x <= x1; ++x) {
        for (int y = 1; y <= 14; ++y) {
            colours.insert(image.pixel(x, y));
        }
    }
    return colours;
}

TEST(TrayProgressDrawing, FillsRoundedColumnsFromTheStartEdge)
{
    struct Case
    {
        int min, max, position, columns, percent;
    };
    const std::vector<Case> cases{
        {0, 100, 50, 8, 50},
        {0, 100, 99, 16, 99}, // 15.84 rounds to a full bar while the figure reads 99
        {0, 32, 1, 0, 3},     // 0.5: ties go to even
        {0, 32, 3, 2, 9},     // 1.5
        {0, 32, 5, 2, 15},    // 2.5
        {0, 0, 0, 1, 100},    // empty range: one column, full percent
        {0, 100, 25, 4, 25},
        {0, 100, 29, 5, 29}, // exact: 29 / 100 * 100 in doubles is 28.999...
        {0, 3, 2, 11, 66},
        {-10, 10, 0, 8, 50},
        {INT_MIN, INT_MAX, 0, 8, 50}, // the width does not fit in an int
        {INT_MIN, INT_MAX, INT_MAX, 16, 100},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.min << ".." << c.max << " at " << c.position);
        EXPECT_EQ(trayFilledColumns(c.min, c.max, c.position), c.columns);
        EXPECT_EQ(trayPercent(c.min, c.max, c.position), c.percent);
        for (const TPBKind kind : {TPBKind::pkHorizontal, TPBKind::pkVertical}) {
            TrayProgressLook look = plainLook(c.min, c.max, c.position);
            look.kind = kind;
            look.showText = false;
            look.borderStyle = TBorderStyle::bsNone;
            const QImage image = drawTrayProgress(look);
            ASSERT_EQ(image.size(), QSize(16, 16));
            int mismatches = 0;
            for (int x = 0; x < 16; ++x) {
                for (int y = 0; y < 16; ++y) {
                    // Horizontal fills from the left, vertical from the bottom.
                    const int column = kind == TPBKind::pkHorizontal ? x : 15 - y;
                    const QRgb expected = column < c.columns ? rgb(clBlue) : rgb(clWhite);
                    mismatches += image.pixel(x, y) != expected ? 1 : 0;
                }
            }
            EXPECT_EQ(mismatches, 0) << "kind " << static_cast<int>(kind);
        }
    }
}

TEST(TrayProgressDrawing, FigureShowsInBackColourOverTheFillAndFontColourBeyond)
{
    const QImage half = drawTrayProgress(plainLook(0, 100, 50));

    for (int i = 0; i < 16; ++i) {
        for (const QPoint p : {QPoint(i, 0), QPoint(i, 15), QPoint(0, i), QPoint(15, i)}) {
            ASSERT_EQ(half.pixel(p), rgb(clRed)) << p.x() << "," << p.y();
        }
    }
    // Columns 1..7 are filled, 8..14 empty; the figure straddles the middle, and
    // non-antialiased glyphs leave no blended or marker pixels behind.
    EXPECT_EQ(coloursIn(half, 1, 7), (QSet<QRgb>{rgb(clBlue), rgb(clWhite)}));
    EXPECT_EQ(coloursIn(half, 8, 14), (QSet<QRgb>{rgb(clWhite), rgb(clBlack)}));

    // The figure depends on the percent alone: 5 of 10 draws exactly the same, 49 of 100
    // (also eight columns) does not.
    EXPECT_EQ(drawTrayProgress(plainLook(0, 10, 5)), half);
    EXPECT_NE(drawTrayProgress(plainLook(0, 100, 49)), half);

    // 99 of 100 is a full bar: the figure shows only in the back colour.
    const QImage full = drawTrayProgress(plainLook(0, 100, 99));
    EXPECT_EQ(coloursIn(full, 1, 14), (QSet<QRgb>{rgb(clBlue), rgb(clWhite)}));
}

TEST(TrayProgressDrawing, MarkerNeverMixesWithTheFigureOrTheFill)
{
    // A yellow figure switches the marker to lime, so the figure still shows.
    TrayProgressLook yellowFont = plainLook(0, 100, 0);
    yellowFont.fontColor = clYellow;
    const QSet<QRgb> empty = coloursIn(drawTrayProgress(yellowFont), 1, 14);
    EXPECT_TRUE(empty.contains(kYellow));
    EXPECT_FALSE(empty.contains(kLime));

    // A fill in the marker's own colour: each pixel is tested before it is written, so the
    // figure's pixels over the fill are exactly those of an ordinary fore colour.
    TrayProgressLook markerFill = plainLook(0, 100, 50);
    markerFill.foreColor = clYellow;
    const QImage withMarkerFill = drawTrayProgress(markerFill);
    const QImage ordinary = drawTrayProgress(plainLook(0, 100, 50));
    int figurePixels = 0;
    for (int x = 1; x <= 7; ++x) {
        for (int y = 1; y <= 14; ++y) {
            const bool figure = ordinary.pixel(x, y) == rgb(clWhite);
            figurePixels += figure ? 1 : 0;
            EXPECT_EQ(withMarkerFill.pixel(x, y), figure ? rgb(clWhite) : kYellow) << x << "," << y;
        }
    }
    EXPECT_GT(figurePixels, 0);
}

TEST(TrayProgressDrawing, TipFillsInThePercent)
{
    struct Case
    {
        const char* toolTip;
        bool progressInHint;
        const char* tip;
    };
    for (const Case& c : {Case{"In %s", true, "In 42%"}, Case{"In %S", true, "In 42%"},
                          Case{"In %s", false, "In %s"}, Case{"No figure", true, "No figure"},
                          Case{"%s of 100%%", true, "42% of 100%"}, Case{"", true, ""}}) {
        EXPECT_EQ(trayTip(QString::fromLatin1(c.toolTip), c.progressInHint, 42),
                  QString::fromLatin1(c.tip))
            << c.toolTip;
    }
}

// --- the component --------------------------------------------------------------------

struct Recorder
{
    std::vector<QString> errors;
    std::string events;
};

std::unique_ptr<TTrayProgressBar> makeBar(Recorder& recorder)
{
    auto bar = std::make_unique<TTrayProgressBar>();
    bar->setErrorReporter([&recorder](const QString& text) { recorder.errors.push_back(text); });
    return bar;
}

TEST(TrayProgressBar, StartsHiddenWithAnEmptyFramedBar)
{
    TTrayProgressBar bar;
    EXPECT_FALSE(bar.Active());
    EXPECT_FALSE(bar.trayIcon()->isVisible());
    EXPECT_EQ(bar.Font().family(), QStringLiteral("Arial"));
    EXPECT_FALSE(bar.icon().isNull()) << "the icon is ready before it is first shown";
    // 0 of 0..100 in the system highlight-text colour, framed in black.
    EXPECT_EQ(bar.iconImage().pixel(8, 14), rgb(clHighlightText));
    EXPECT_EQ(bar.iconImage().pixel(0, 0), rgb(clBlack));
}

TEST(TrayProgressBar, UnchangedValuesDoNotRedraw)
{
    TTrayProgressBar bar;
    bar.setMax(100);
    bar.setPosition(500);
    EXPECT_EQ(bar.Position(), 100);
    const qint64 atFull = bar.icon().cacheKey();

    bar.setPosition(500); // compared unclamped: redraws again
    const qint64 again = bar.icon().cacheKey();
    EXPECT_NE(again, atFull);

    bar.setPosition(100);
    bar.setMax(100);
    bar.setBorderStyle(TBorderStyle::bsSingle);
    bar.setFont(bar.Font());
    EXPECT_EQ(bar.icon().cacheKey(), again);

    bar.setBorderStyle(TBorderStyle::bsNone);
    const qint64 frameless = bar.icon().cacheKey();
    EXPECT_NE(bar.iconImage().pixel(0, 0), rgb(clBlack));
    bar.setBorderColor(clRed);
    EXPECT_EQ(bar.icon().cacheKey(), frameless) << "no frame, nothing to redraw";
    bar.setBorderStyle(TBorderStyle::bsSingle);
    EXPECT_EQ(bar.iconImage().pixel(0, 0), rgb(clRed));
}

TEST(TrayProgressBar, RangeErrorsKeepTheOldValueButStillClampAndRedraw)
{
    struct Case
    {
        const char* name;
        void (*change)(TTrayProgressBar&);
        bool error;
        int min, max, position;
    };
    const std::vector<Case> cases{
        {"Max below Min", [](TTrayProgressBar& b) { b.setMax(-5); }, true, 0, 100, 50},
        {"Min above Max", [](TTrayProgressBar& b) { b.setMin(101); }, true, 0, 100, 50},
        {"Max below Position", [](TTrayProgressBar& b) { b.setMax(40); }, false, 0, 40, 40},
        {"Min above Position", [](TTrayProgressBar& b) { b.setMin(60); }, false, 60, 100, 60},
        {"Max equal to Min", [](TTrayProgressBar& b) { b.setMax(0); }, false, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Recorder recorder;
        auto bar = makeBar(recorder);
        bar->setPosition(50);
        const qint64 before = bar->icon().cacheKey();
        c.change(*bar);
        EXPECT_EQ(bar->Min(), c.min);
        EXPECT_EQ(bar->Max(), c.max);
        EXPECT_EQ(bar->Position(), c.position);
        EXPECT_NE(bar->icon().cacheKey(), before);
        if (c.error) {
            EXPECT_EQ(recorder.errors,
                      std::vector<QString>{QStringLiteral("Trayscrollbar property out of range!")});
        } else {
            EXPECT_TRUE(recorder.errors.empty());
        }
    }
}

TEST(TrayProgressBar, ToolTipIsCutAndCarriesThePercent)
{
    TTrayProgressBar bar;
    bar.setToolTip(QString(70, QLatin1Char('x')));
    EXPECT_EQ(bar.ToolTip(), QString(62, QLatin1Char('x')));
    EXPECT_EQ(bar.tip(), bar.ToolTip());

    bar.setMax(3);
    bar.setPosition(2);
    bar.setToolTip(QStringLiteral("Out %s"));
    EXPECT_EQ(bar.tip(), QStringLiteral("Out %s")) << "only with ProgressInHint";
    bar.setProgressInHint(true);
    EXPECT_EQ(bar.tip(), QStringLiteral("Out 66%"));

    // 60 characters and the directive make 62; "100%" then overruns the tray's 63.
    bar.setPosition(3);
    bar.setToolTip(QString(60, QLatin1Char('y')) + QStringLiteral("%s"));
    EXPECT_EQ(bar.ToolTip().size(), 62);
    EXPECT_EQ(bar.tip(), QString(60, QLatin1Char('y')) + QStringLiteral("100"));
}

TEST(TrayProgressBar, MaxIconStandsInForAFullBar)
{
    TTrayProgressBar bar;
    bar.setProgressInHint(true);
    bar.setToolTip(QStringLiteral("%s"));
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::green);
    const QIcon full(pixmap);

    bar.setMaxIcon(full);
    EXPECT_NE(bar.icon().cacheKey(), full.cacheKey()) << "not full yet";
    bar.setMax(1);
    bar.setPosition(1);
    EXPECT_EQ(bar.icon().cacheKey(), full.cacheKey());
    EXPECT_EQ(bar.tip(), QStringLiteral("100%"));

    bar.setPosition(0);
    EXPECT_NE(bar.icon().cacheKey(), full.cacheKey());
    EXPECT_EQ(bar.tip(), QStringLiteral("0%"));
}

TEST(TrayProgressBar, FontAndKindChangesRedrawTheFigure)
{
    TTrayProgressBar bar;
    bar.setForeColor(clBlue);
    bar.setBackColor(clWhite);
    bar.setPosition(25);
    const QImage small = bar.iconImage();
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(8);
    bar.setFont(font);
    EXPECT_NE(bar.iconImage(), small);

    bar.setFontColor(clRed);
    EXPECT_TRUE(coloursIn(bar.iconImage(), 1, 14).contains(rgb(clRed)));

    bar.setShowText(false);
    bar.setKind(TPBKind::pkVertical);
    // Vertical, four of sixteen: the bottom four rows, row 15 being the frame.
    EXPECT_EQ(bar.iconImage().pixel(7, 12), rgb(clBlue));
    EXPECT_EQ(bar.iconImage().pixel(7, 11), rgb(clWhite));
}

TEST(TrayProgressBar, ActiveShowsAndHidesTheIcon)
{
    auto bar = std::make_unique<TTrayProgressBar>();
    bar->setActive(true);
    EXPECT_TRUE(bar->trayIcon()->isVisible()) << "shown whether or not a tray host runs";
    bar->setActive(false);
    EXPECT_FALSE(bar->trayIcon()->isVisible());
    bar->setActive(true);
    // The add queues one more refresh; it must not outlive the component.
    bar.reset();
    QCoreApplication::processEvents();
}

TEST(TrayProgressBar, MouseEventsArriveInClickOrder)
{
    struct Case
    {
        std::vector<QSystemTrayIcon::ActivationReason> reasons;
        std::string events;
    };
    const std::vector<Case> cases{
        {{QSystemTrayIcon::Trigger}, "click "},
        {{QSystemTrayIcon::Trigger, QSystemTrayIcon::DoubleClick}, "click dbl click "},
        {{QSystemTrayIcon::DoubleClick}, "click dbl click "}, // first click supplied
        {{QSystemTrayIcon::MiddleClick, QSystemTrayIcon::Unknown}, ""},
        {{QSystemTrayIcon::Context}, "right "},
    };
    for (const Case& c : cases) {
        Recorder recorder;
        auto bar = makeBar(recorder);
        bar->setOnClick([&](QObject* sender) {
            EXPECT_EQ(sender, bar.get());
            recorder.events += "click ";
        });
        bar->setOnDblClick([&](QObject*) { recorder.events += "dbl "; });
        bar->setOnRightClick(
            [&](QObject*, Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y) {
                EXPECT_EQ(button, Qt::RightButton);
                EXPECT_EQ(shift, Qt::NoModifier);
                EXPECT_EQ(QPoint(x, y), QCursor::pos());
                recorder.events += "right ";
            });
        for (const auto reason : c.reasons) {
            Q_EMIT bar->trayIcon()->activated(reason);
        }
        EXPECT_EQ(recorder.events, c.events) << c.events;
    }

    TTrayProgressBar unassigned; // events without handlers are simply dropped
    for (const auto reason :
         {QSystemTrayIcon::Trigger, QSystemTrayIcon::DoubleClick, QSystemTrayIcon::Context}) {
        Q_EMIT unassigned.trayIcon()->activated(reason);
    }
}

// Closes the menu once it is up, so exec returns.
void closeWhenShown(QMenu& menu, std::string& events)
{
    QObject::connect(&menu, &QMenu::aboutToShow, &menu, [&menu, &events] {
        events += "menu ";
        QTimer::singleShot(0, &menu, &QMenu::close);
    });
    QObject::connect(&menu, &QMenu::aboutToHide, &menu, [&events] { events += "closed "; });
}

TEST(TrayProgressBar, ContextMenuRunsBeforeTheRightClickEvent)
{
    Recorder recorder;
    auto bar = makeBar(recorder);
    QMenu menu;
    menu.addAction(QStringLiteral("Restore"));
    closeWhenShown(menu, recorder.events);
    bar->setPopupMenu(&menu);
    bar->setOnRightClick([&](QObject*, Qt::MouseButton, Qt::KeyboardModifiers, int, int) {
        recorder.events += "right ";
    });
    Q_EMIT bar->trayIcon()->activated(QSystemTrayIcon::Context);
    EXPECT_EQ(recorder.events, "menu closed right ");
}

TEST(TrayProgressBar, MenuCommandMayEndTheComponent)
{
    Recorder recorder;
    auto owner = std::make_unique<QObject>();
    auto* bar = new TTrayProgressBar(owner.get());
    QMenu menu;
    QAction* exit = menu.addAction(QStringLiteral("Exit"));
    QObject::connect(exit, &QAction::triggered, [&owner] { owner.reset(); });
    QObject::connect(&menu, &QMenu::aboutToShow, &menu, [&menu, exit] {
        QTimer::singleShot(0, &menu, [&menu, exit] {
            exit->trigger();
            menu.close();
        });
    });
    bar->setPopupMenu(&menu);
    bar->setOnRightClick([&](QObject*, Qt::MouseButton, Qt::KeyboardModifiers, int, int) {
        recorder.events += "right ";
    });
    Q_EMIT bar->trayIcon()->activated(QSystemTrayIcon::Context);
    EXPECT_EQ(owner, nullptr);
    EXPECT_EQ(recorder.events, "") << "the component is gone; nothing more is reported";
}

} // namespace
} // namespace zarvello
