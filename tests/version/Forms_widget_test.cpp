#include "version/Mem_Form.h"
#include "version/Version_Form.h"

#include "meter/ThdTimer.h"
#include "platform/AllocatorStats.h"
#include "support/FakeLinkOpener.h"
#include "support/Wait.h"
#include "widgets/URLLabel.h"

#include <QLabel>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <algorithm>

namespace zarvello {
namespace {

struct FixedStats : AllocatorStats
{
    std::uint32_t allocatedBytes() override { return bytes; }
    std::uint32_t bytes = 0;
};

void expectDialogFont(const QWidget& widget)
{
    EXPECT_EQ(widget.font().family(), "MS Sans Serif");
    EXPECT_EQ(widget.font().pixelSize(), 11);
}

TEST(Form_Version, LaysOutTheNotice)
{
    test::FakeLinkOpener opener({QStringLiteral("http")});
    const TForm_Version form(nullptr, &opener);
    EXPECT_EQ(form.windowTitle(), "New version available!!");
    EXPECT_TRUE(form.windowFlags().testFlag(Qt::Tool));
    EXPECT_EQ(form.size(), QSize(316, 80));
    EXPECT_TRUE(form.isHidden()) << "created hidden";
    expectDialogFont(form);

    struct Placed
    {
        const QLabel* label;
        QPoint at;
        QString text;
    };
    const Placed controls[] = {
        {form.Label1(), {28, 6}, "There is a new version of Zarvello availabel!!"},
        {form.Label2(), {91, 24}, "The new version is v"},
        {form.Label3(), {57, 43}, "Click the link below to download it now!"},
        {form.URLLabel1(), {102, 61}, "zarvello.example.org"},
    };
    for (const Placed& c : controls) {
        SCOPED_TRACE(c.text.toStdString());
        EXPECT_EQ(c.label->pos(), c.at);
        EXPECT_EQ(c.label->text(), c.text);
        EXPECT_EQ(c.label->textFormat(), Qt::PlainText);
        EXPECT_GE(c.label->width(), c.label->sizeHint().width()) << "the whole text fits";
    }
    // "The new version is v" runs straight into the version, at 190 unless
    // the font makes the label reach further.
    const int label2End = form.Label2()->geometry().right() + 1;
    EXPECT_EQ(form.Ver()->pos(), QPoint(std::max(190, label2End), 24));
    EXPECT_EQ(form.Ver()->text(), "Ver");
    EXPECT_EQ(form.URLLabel1()->LinkType(), TLinkType::http);
    EXPECT_EQ(form.URLLabel1()->URL(), "zarvello.example.org");
}

TEST(Form_Mem, LaysOutTheMemoryWindowWithItsTimerOff)
{
    FixedStats stats;
    const TForm_Mem form(nullptr, &stats);
    EXPECT_EQ(form.windowTitle(), "Memory");
    EXPECT_TRUE(form.windowFlags().testFlag(Qt::Tool));
    EXPECT_TRUE(form.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(form.windowFlags().testFlag(Qt::WindowCloseButtonHint));
    EXPECT_FALSE(form.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_EQ(form.size(), QSize(145, 25));
    EXPECT_TRUE(form.isHidden());
    expectDialogFont(form);
    EXPECT_EQ(form.Mem()->pos(), QPoint(7, 5));
    EXPECT_EQ(form.Mem()->text(), "Mem");
    EXPECT_FALSE(form.Timer()->Enabled());
    EXPECT_EQ(form.Timer()->Interval(), 1000);
}

TEST(Form_Mem, ShowsAllocatedBytesFromTheFirstTickOnAndKeepsCountingWhileHidden)
{
    FixedStats stats;
    stats.bytes = 1234567;
    TForm_Mem form(nullptr, &stats);
    form.Timer()->setInterval(20); // a change of interval leaves the timer off

    form.Open();
    EXPECT_TRUE(form.isVisible());
    EXPECT_TRUE(form.Timer()->Enabled());
    EXPECT_EQ(form.Mem()->text(), "Mem") << "until the first tick";
    ASSERT_TRUE(waitUntil([&] { return form.Mem()->text() != "Mem"; }));
    EXPECT_EQ(form.Mem()->text(), "Mem Allocated: 1234567");
    EXPECT_GE(form.Mem()->width(), form.Mem()->sizeHint().width());

    EXPECT_TRUE(form.close());
    EXPECT_TRUE(form.isHidden());
    EXPECT_TRUE(form.Timer()->Enabled()) << "closing only hides";
    stats.bytes = 4294967295u;
    ASSERT_TRUE(waitUntil([&] { return form.Mem()->text() == "Mem Allocated: 4294967295"; }));

    form.Open();
    EXPECT_TRUE(form.isVisible());
    EXPECT_TRUE(form.Timer()->Enabled());
}

TEST(Form_Mem, ShowsTheProcessFigureAsPlainDigits)
{
    TForm_Mem form;
    form.Timer()->setInterval(20);
    form.Open();
    ASSERT_TRUE(waitUntil([&] { return form.Mem()->text() != "Mem"; }));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^Mem Allocated: [0-9]+$"))
                    .match(form.Mem()->text())
                    .hasMatch())
        << form.Mem()->text().toStdString();
}

} // namespace
} // namespace zarvello
