#include "widgets/FigureLabel.h"
#include "widgets/StandInFonts.h"

#include <QImage>
#include <gtest/gtest.h>

namespace zarvello {
namespace {

QImage drawn(QLabel& label)
{
    label.adjustSize();
    return label.grab().toImage();
}

// Same size and same pixels as a plain QLabel, for the faces the window uses (each set
// after the last text, as a new font set is), with texts that change in place and in
// length, as the figures do.
TEST(FigureLabel, SizesAndDrawsAsQLabel)
{
    const QFont faces[] = {pixelFont("MS Sans Serif", k8ptPixels),
                           pixelFont("MS Sans Serif", k7ptPixels), pixelFont("Arial", k7ptPixels),
                           pixelFont("Arial", k6ptPixels)};
    QLabel plain;
    FigureLabel figure;
    for (const QFont& face : faces) {
        for (QLabel* l : {&plain, static_cast<QLabel*>(&figure)}) {
            l->setTextFormat(Qt::PlainText);
            l->setFont(face);
        }
        for (const char* text :
             {"Out:", "0.00 Kbs", "1,234,567 K", "Peak Speed:", "98.6 Mbs", "", "Out:"}) {
            plain.setText(QString::fromLatin1(text));
            figure.setText(QString::fromLatin1(text));
            const QImage expected = drawn(plain);
            EXPECT_EQ(figure.sizeHint(), plain.sizeHint()) << text;
            EXPECT_EQ(drawn(figure), expected) << face.family().toStdString() << ' ' << text;
        }
    }
}

} // namespace
} // namespace zarvello
