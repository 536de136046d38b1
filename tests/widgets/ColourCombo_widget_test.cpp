#include "widgets/ColourCombo.h"

#include <QAbstractItemView>
#include <QPainter>
#include <QStyleFactory>
#include <QStyleOptionViewItem>
#include <gtest/gtest.h>

#include <memory>

namespace zarvello {
namespace {

TEST(Colour, IdentifiersIgnoreCaseAndNoneDrawsWhite)
{
    EXPECT_EQ(identToColour("clred"), Colour{0x0000FF});
    EXPECT_EQ(toQColor(clNone), QColor(Qt::white));
}

TEST(ColourCombo, ListsTheNamesInStoredOrderEachAfterAFramedSwatch)
{
    ColourCombo combo;
    combo.fillColourList();
    QStringList names;
    for (int i = 0; i < combo.count(); ++i) {
        names << combo.itemText(i);
    }
    // Settings store the position in this list: the order is a file format.
    EXPECT_EQ(names.join(' '), "clBlack clMaroon clGreen clOlive clNavy clPurple clTeal clGray "
                               "clSilver clRed clLime clYellow clBlue clFuchsia clAqua clSilver "
                               "clGray clWhite clNone");
    combo.setCurrentIndex(9);
    EXPECT_EQ(combo.selectedColour(), clRed);

    // Another widget style brings its own delegate to a plain combo box; the swatches stay.
    const std::unique_ptr<QStyle> fusion(QStyleFactory::create(QStringLiteral("Fusion")));
    combo.setStyle(fusion.get());
    combo.setItemHeight(14);
    QImage image(90, 14, QImage::Format_ARGB32);
    QPainter painter(&image);
    QStyleOptionViewItem option;
    option.rect = image.rect();
    combo.view()->itemDelegate()->paint(&painter, option, combo.model()->index(10, 0));
    EXPECT_EQ(combo.view()->itemDelegate()->sizeHint(option, {}).height(), 14);
    // The swatch spans x 3..16 and y 3..10, framed in black.
    EXPECT_EQ(std::pair(image.pixelColor(16, 10), image.pixelColor(4, 4)),
              std::pair(QColor(Qt::black), QColor(Qt::green)));
}

} // namespace
} // namespace zarvello
