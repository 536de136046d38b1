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

TEST(Colour, NamesAndValuesRoundTripAndResolve)
{
    // {identifier, value, resolved against a palette whose button face is 1, 2, 3}
    for (const auto& [name, value, resolved] :
         {std::tuple{"clRed", 0x0000FFu, QColor(255, 0, 0)},
          std::tuple{"clAqua", 0xFFFF00u, QColor(0, 255, 255)},
          std::tuple{"clBtnFace", 0x8000000Fu, QColor(1, 2, 3)},
          std::tuple{"clNone", 0x1FFFFFFFu, QColor(Qt::white)}}) {
        EXPECT_EQ(identToColor(name), TColor{value}) << name;
        EXPECT_EQ(colorToIdent(TColor{value}), name);
        EXPECT_EQ(toQColor(TColor{value}, QPalette(QColor(1, 2, 3))), resolved) << name;
    }
    EXPECT_EQ(identToColor("clred"), clRed) << "identifiers are case-insensitive";
    EXPECT_FALSE(colorToIdent(clDefault)) << "0x20000000 has no name";
}

TEST(ColorCombo, ListsTheNamesInStoredOrderEachAfterAFramedSwatch)
{
    TColorCombo combo;
    combo.fillColorList();
    EXPECT_EQ(combo.SelectedColor(), TColor{0}) << "nothing selected after filling";
    QStringList names;
    for (int i = 0; i < combo.count(); ++i) {
        names << combo.itemText(i);
    }
    // Settings store the position in this list: the order is a file format.
    EXPECT_EQ(names.join(' '), "clBlack clMaroon clGreen clOlive clNavy clPurple clTeal clGray "
                               "clSilver clRed clLime clYellow clBlue clFuchsia clAqua clSilver "
                               "clGray clWhite clNone");
    combo.setCurrentIndex(9);
    EXPECT_EQ(combo.SelectedColor(), clRed);

    // Another widget style brings its own delegate to a plain combo box; not here.
    const std::unique_ptr<QStyle> fusion(QStyleFactory::create(QStringLiteral("Fusion")));
    combo.setStyle(fusion.get());
    combo.setItemHeight(14);
    QImage image(90, 14, QImage::Format_ARGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    QStyleOptionViewItem option;
    option.rect = image.rect();
    combo.view()->itemDelegate()->paint(&painter, option, combo.model()->index(10, 0));
    EXPECT_EQ(combo.view()->itemDelegate()->sizeHint(option, {}).height(), 14);
    // The swatch spans x 3..16 and y 3..10, framed in black; the name follows from x = 22.
    for (const auto& [x, y, colour] : {std::tuple{3, 3, Qt::black}, std::tuple{16, 10, Qt::black},
                                       std::tuple{4, 4, Qt::green}, std::tuple{15, 9, Qt::green}}) {
        EXPECT_EQ(image.pixelColor(x, y), QColor(colour)) << x << "," << y;
    }
}

} // namespace
} // namespace zarvello
