#include "widgets/ColorCombo.h"

#include <QAbstractItemView>
#include <QImage>
#include <QPainter>
#include <QStyleFactory>
#include <QStyleOptionViewItem>

#include <gtest/gtest.h>

#include <memory>

namespace zarvello {
namespace {

constexpr int kWidth = 90;
constexpr QRgb kUnpainted = 0xFF123456;

QPalette testPalette()
{
    QPalette palette;
    palette.setColor(QPalette::Base, QColor(250, 250, 240));
    palette.setColor(QPalette::Text, QColor(10, 10, 10));
    palette.setColor(QPalette::Highlight, QColor(30, 60, 200));
    palette.setColor(QPalette::HighlightedText, QColor(255, 255, 255));
    palette.setColor(QPalette::Button, QColor(200, 190, 180));
    return palette;
}

// Renders one list entry through the combo's own delegate.
QImage renderItem(TColorCombo& combo, int row, bool selected, int height = 12)
{
    QImage image(kWidth, height, QImage::Format_ARGB32);
    image.fill(kUnpainted);
    QPainter painter(&image);
    QStyleOptionViewItem option;
    option.rect = image.rect();
    option.palette = testPalette();
    option.font = combo.font();
    option.fontMetrics = combo.fontMetrics();
    option.state = QStyle::State_Enabled;
    if (selected) {
        option.state |= QStyle::State_Selected;
    }
    combo.itemDelegate()->paint(&painter, option, combo.model()->index(row, 0));
    return image;
}

QColor at(const QImage& image, int x, int y)
{
    return image.pixelColor(x, y);
}

TEST(ColorCombo, NineteenNamesInStoredOrderAndTheColoursTheyName)
{
    TColorCombo combo;
    combo.addItem(QStringLiteral("left over"));
    combo.fillColorList();
    EXPECT_EQ(combo.currentIndex(), -1) << "nothing selected after filling";
    EXPECT_EQ(combo.SelectedColor(), TColor{0});

    struct Item
    {
        const char* name;
        std::uint32_t colour;
    };
    const Item items[] = {{"clBlack", 0x000000},  {"clMaroon", 0x000080},  {"clGreen", 0x008000},
                          {"clOlive", 0x008080},  {"clNavy", 0x800000},    {"clPurple", 0x800080},
                          {"clTeal", 0x808000},   {"clGray", 0x808080},    {"clSilver", 0xC0C0C0},
                          {"clRed", 0x0000FF},    {"clLime", 0x00FF00},    {"clYellow", 0x00FFFF},
                          {"clBlue", 0xFF0000},   {"clFuchsia", 0xFF00FF}, {"clAqua", 0xFFFF00},
                          {"clSilver", 0xC0C0C0}, {"clGray", 0x808080},    {"clWhite", 0xFFFFFF},
                          {"clNone", 0x1FFFFFFF}};
    ASSERT_EQ(combo.count(), 19);
    for (int i = 0; i < 19; ++i) {
        EXPECT_EQ(combo.itemText(i), QString::fromLatin1(items[i].name)) << i;
        combo.setCurrentIndex(i);
        EXPECT_EQ(combo.SelectedColor(), TColor{items[i].colour}) << i;
    }

    combo.addItem(QStringLiteral("not a colour"));
    combo.setCurrentIndex(19);
    EXPECT_EQ(combo.SelectedColor(), TColor{0});
}

TEST(ColorCombo, EntryShowsAFramedSwatchOfItsColourBeforeItsText)
{
    TColorCombo combo;
    combo.fillColorList();
    combo.addItem(QStringLiteral("clBtnFace"));
    combo.addItem(QStringLiteral("plain words"));
    const QPalette palette = testPalette();
    const QColor base = palette.color(QPalette::Active, QPalette::Base);
    const QColor highlight = palette.color(QPalette::Active, QPalette::Highlight);

    struct Case
    {
        int row;
        bool selected;
        QColor swatch;
        QColor background;
    };
    const Case cases[] = {
        {9, false, QColor(255, 0, 0), base},                // clRed
        {12, true, QColor(0, 0, 255), highlight},           // clBlue, selected
        {18, false, QColor(255, 255, 255), base},           // clNone shows white
        {19, false, palette.color(QPalette::Button), base}, // system colour resolved
        {20, false, base, base},                            // no colour name
        {20, true, highlight, highlight},                   // ... in the selection colour
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "row " << c.row << (c.selected ? " selected" : ""));
        const QImage image = renderItem(combo, c.row, c.selected);
        // Swatch spans x 3..16 and y 3..8 of a 12-pixel item; its edge is black.
        for (const QPoint corner : {QPoint(3, 3), QPoint(16, 3), QPoint(3, 8), QPoint(16, 8),
                                    QPoint(10, 3), QPoint(10, 8), QPoint(3, 6), QPoint(16, 6)}) {
            EXPECT_EQ(at(image, corner.x(), corner.y()), QColor(Qt::black))
                << corner.x() << "," << corner.y();
        }
        for (const QPoint inside : {QPoint(4, 4), QPoint(15, 7), QPoint(10, 5)}) {
            EXPECT_EQ(at(image, inside.x(), inside.y()), c.swatch);
        }
        for (const QPoint outside : {QPoint(0, 0), QPoint(2, 5), QPoint(10, 2), QPoint(10, 9),
                                     QPoint(17, 5), QPoint(21, 11), QPoint(kWidth - 1, 11)}) {
            EXPECT_EQ(at(image, outside.x(), outside.y()), c.background)
                << outside.x() << "," << outside.y();
        }
        // The name is written from x = 22 on.
        const QImage text = image.copy(22, 0, kWidth - 22, image.height());
        QImage blank(text.size(), text.format());
        blank.fill(c.background);
        EXPECT_TRUE(text != blank);
    }
}

TEST(ColorCombo, StyleRequestsKeepTheOwnerDrawnFixedLook)
{
    TColorCombo combo;
    combo.fillColorList();
    combo.setEditable(true);
    EXPECT_FALSE(combo.isEditable());
    for (const TComboBoxStyle style : {TComboBoxStyle::csSimple, TComboBoxStyle::csDropDown,
                                       TComboBoxStyle::csOwnerDrawVariable}) {
        combo.setStyle(style);
        EXPECT_EQ(combo.Style(), TComboBoxStyle::csOwnerDrawFixed);
        EXPECT_FALSE(combo.isEditable());
    }

    // Another widget style installs its own delegate in a plain combo box; not here.
    const std::unique_ptr<QStyle> fusion(QStyleFactory::create(QStringLiteral("Fusion")));
    const std::unique_ptr<QStyle> windows(QStyleFactory::create(QStringLiteral("Windows")));
    for (QStyle* style : {fusion.get(), windows.get()}) {
        ASSERT_NE(style, nullptr);
        combo.setStyle(style);
        EXPECT_NE(dynamic_cast<TColorComboDelegate*>(combo.itemDelegate()), nullptr);
        EXPECT_NE(dynamic_cast<TColorComboDelegate*>(combo.view()->itemDelegate()), nullptr);
        EXPECT_EQ(at(renderItem(combo, 10, false), 8, 5), QColor(0, 255, 0));
    }
    combo.setStyle(static_cast<QStyle*>(nullptr));
}

TEST(ColorCombo, ItemHeightIsFixedAndClamped)
{
    TColorCombo combo;
    combo.fillColorList();
    QStyleOptionViewItem option;
    option.fontMetrics = combo.fontMetrics();
    const QModelIndex first = combo.model()->index(0, 0);
    EXPECT_EQ(combo.itemDelegate()->sizeHint(option, first).height(), 12);
    combo.setItemHeight(20);
    EXPECT_EQ(combo.itemDelegate()->sizeHint(option, first).height(), 20);
    combo.setItemHeight(-4);
    EXPECT_EQ(combo.ItemHeight(), 1);
}

TEST(ColorCombo, ClosedBoxShowsTheSelectedSwatch)
{
    TColorCombo combo;
    combo.fillColorList();
    combo.resize(92, 18);
    const auto countBlue = [&combo] {
        const QImage image = combo.grab().toImage();
        int blue = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                blue += image.pixelColor(x, y) == QColor(0, 0, 255) ? 1 : 0;
            }
        }
        return blue;
    };
    EXPECT_EQ(countBlue(), 0);
    combo.setCurrentIndex(12);
    EXPECT_GE(countBlue(), 4);
}

} // namespace
} // namespace zarvello
