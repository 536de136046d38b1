#include "widgets/ColorCombo.h"

#include <QAbstractItemView>
#include <QPainter>
#include <QStyleFactory>
#include <QStyleOptionViewItem>
#include <gtest/gtest.h>

#include <memory>
#include <tuple>

namespace zarvello {
namespace {

constexpr int kWidth = 90;

QPalette testPalette()
{
    QPalette palette;
    palette.setColor(QPalette::Base, QColor(250, 250, 240));
    palette.setColor(QPalette::Highlight, QColor(30, 60, 200));
    palette.setColor(QPalette::Button, QColor(200, 190, 180));
    return palette;
}

// One list entry, drawn through the combo's own delegate.
QImage renderItem(TColorCombo& combo, int row, bool selected)
{
    QImage image(kWidth, 12, QImage::Format_ARGB32);
    image.fill(0xFF123456);
    QPainter painter(&image);
    QStyleOptionViewItem option;
    option.rect = image.rect();
    option.palette = testPalette();
    option.font = combo.font();
    option.state =
        selected ? QStyle::State_Enabled | QStyle::State_Selected : QStyle::State_Enabled;
    combo.itemDelegate()->paint(&painter, option, combo.model()->index(row, 0));
    return image;
}

TEST(Colour, NamesAndValuesRoundTripAndResolve)
{
    QPalette palette;
    palette.setColor(QPalette::Button, QColor(1, 2, 3));
    palette.setColor(QPalette::Light, QColor(4, 5, 6));
    // {identifier, value, resolved against the palette}
    // clang-format off
    for (const auto& [name, value, resolved] : {std::tuple{"clBlack", 0x000000u, QColor(0, 0, 0)},
                                                std::tuple{"clRed", 0x0000FFu, QColor(255, 0, 0)},
                                                std::tuple{"clAqua", 0xFFFF00u, QColor(0, 255, 255)},
                                                std::tuple{"clBtnFace", 0x8000000Fu, QColor(1, 2, 3)},
                                                std::tuple{"clBtnHighlight", 0x80000014u, QColor(4, 5, 6)},
                                                std::tuple{"clNone", 0x1FFFFFFFu, QColor(Qt::white)}}) {
        // clang-format on
        EXPECT_EQ(identToColor(name), TColor{value}) << name;
        EXPECT_EQ(colorToIdent(TColor{value}), name);
        EXPECT_EQ(toQColor(TColor{value}, palette), resolved) << name;
    }
    EXPECT_EQ(identToColor("clred"), clRed) << "identifiers are case-insensitive";
    EXPECT_FALSE(identToColor("clPink"));
    EXPECT_FALSE(identToColor("clRe"));
    EXPECT_FALSE(colorToIdent(clDefault)) << "0x20000000 has no name";
    EXPECT_EQ(toQColor(TColor{0x00336699}, palette), QColor(0x99, 0x66, 0x33));
    EXPECT_EQ(clBtnFace.red(), 15) << "raw channels ignore the system flag";
}

TEST(ColorCombo, HoldsTheNineteenNamesInStoredOrderAndNamesTheirColours)
{
    TColorCombo combo;
    combo.addItem(QStringLiteral("left over"));
    combo.fillColorList();
    EXPECT_EQ(combo.currentIndex(), -1) << "nothing selected after filling";
    EXPECT_EQ(combo.SelectedColor(), TColor{0});
    QStringList names;
    for (int i = 0; i < combo.count(); ++i) {
        names << combo.itemText(i);
    }
    // Settings store the position in this list: the order is a file format.
    EXPECT_EQ(names.join(' '), "clBlack clMaroon clGreen clOlive clNavy clPurple clTeal clGray "
                               "clSilver clRed clLime clYellow clBlue clFuchsia clAqua clSilver "
                               "clGray clWhite clNone");
    for (const auto& [index, colour] :
         {std::pair{9, clRed}, std::pair{16, clGray}, std::pair{18, clNone}}) {
        combo.setCurrentIndex(index);
        EXPECT_EQ(combo.SelectedColor(), colour) << index;
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
    const QColor base(250, 250, 240);
    const QColor highlight(30, 60, 200);
    // {row, selected, swatch, background}
    for (const auto& [row, selected, swatch, background] :
         {std::tuple{9, false, QColor(255, 0, 0), base},
          std::tuple{12, true, QColor(0, 0, 255), highlight},
          std::tuple{18, false, QColor(255, 255, 255), base}, // clNone shows white
          std::tuple{19, false, QColor(200, 190, 180), base}, // system colour resolved
          std::tuple{20, false, base, base}, std::tuple{20, true, highlight, highlight}}) {
        SCOPED_TRACE(testing::Message() << "row " << row << (selected ? " selected" : ""));
        const QImage image = renderItem(combo, row, selected);
        // The swatch spans x 3..16 and y 3..8 of a 12-pixel entry, framed in black.
        for (const QPoint p : {QPoint(3, 3), QPoint(16, 3), QPoint(3, 8), QPoint(16, 8)}) {
            EXPECT_EQ(image.pixelColor(p), QColor(Qt::black)) << p.x() << "," << p.y();
        }
        for (const QPoint p : {QPoint(4, 4), QPoint(15, 7)}) {
            EXPECT_EQ(image.pixelColor(p), swatch) << p.x() << "," << p.y();
        }
        for (const QPoint p : {QPoint(0, 0), QPoint(2, 5), QPoint(10, 2), QPoint(10, 9),
                               QPoint(17, 5), QPoint(21, 11), QPoint(kWidth - 1, 11)}) {
            EXPECT_EQ(image.pixelColor(p), background) << p.x() << "," << p.y();
        }
        QImage blank(kWidth - 22, 12, image.format());
        blank.fill(background);
        EXPECT_NE(image.copy(22, 0, kWidth - 22, 12), blank) << "the name is written from x = 22";
    }
}

TEST(ColorCombo, KeepsItsOwnerDrawnFixedLookWhateverIsAsked)
{
    TColorCombo combo;
    combo.fillColorList();
    combo.setEditable(true);
    combo.setStyle(TComboBoxStyle::csSimple);
    EXPECT_FALSE(combo.isEditable());
    // Another widget style brings its own delegate to a plain combo box; not here.
    const std::unique_ptr<QStyle> fusion(QStyleFactory::create(QStringLiteral("Fusion")));
    combo.setStyle(fusion.get());
    EXPECT_NE(dynamic_cast<TColorComboDelegate*>(combo.view()->itemDelegate()), nullptr);
    EXPECT_EQ(renderItem(combo, 10, false).pixelColor(8, 5), QColor(0, 255, 0));
    combo.setStyle(static_cast<QStyle*>(nullptr));

    QStyleOptionViewItem option;
    const QModelIndex first = combo.model()->index(0, 0);
    EXPECT_EQ(combo.itemDelegate()->sizeHint(option, first).height(), 12);
    combo.setItemHeight(20);
    EXPECT_EQ(combo.itemDelegate()->sizeHint(option, first).height(), 20);
    combo.setItemHeight(-4);
    EXPECT_EQ(combo.ItemHeight(), 1);
}

TEST(ColorCombo, ClosedBoxShowsTheSelectedSwatchOnTheFieldColour)
{
    TColorCombo combo;
    combo.setPalette(testPalette());
    combo.fillColorList();
    combo.resize(92, 18);
    const auto pixels = [&combo](const QColor& colour) {
        const QImage image = combo.grab().toImage();
        int count = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                count += image.pixelColor(x, y) == colour ? 1 : 0;
            }
        }
        return count;
    };
    const QColor blue(0, 0, 255);
    const QColor highlight(30, 60, 200);
    EXPECT_EQ(pixels(blue), 0);
    EXPECT_EQ(pixels(highlight), 0) << "the selection colour only with the focus";
    combo.setCurrentIndex(12);
    EXPECT_GE(pixels(blue), 4);
    EXPECT_EQ(pixels(highlight), 0);
}

} // namespace
} // namespace zarvello
