#include "widgets/FigureLabel.h"
#include "widgets/StandInFonts.h"

#include <gtest/gtest.h>

namespace zarvello {
namespace {

// Same size and same pixels as a plain QLabel, for the faces the window uses (each set
// after the last text, as a new font set is), with texts that change in place and in
// length, as the figures do.
TEST(FigureLabel, SizesAndDrawsAsQLabel)
{
    QLabel plain;
    FigureLabel figure;
    const auto drawn = [](QLabel& label) {
        label.adjustSize();
        return std::pair(label.sizeHint(), label.grab().toImage());
    };
    for (const QFont& face :
         {pixelFont("MS Sans Serif", k8ptPixels), pixelFont("MS Sans Serif", k7ptPixels),
          pixelFont("Arial", k7ptPixels), pixelFont("Arial", k6ptPixels)}) {
        plain.setFont(face);
        figure.setFont(face);
        for (const char* text :
             {"Out:", "0.00 Kbs", "1,234,567 K", "Peak Speed:", "98.6 Mbs", "", "Out:"}) {
            plain.setText(QString::fromLatin1(text));
            figure.setText(QString::fromLatin1(text));
            EXPECT_EQ(drawn(figure), drawn(plain)) << face.family().toStdString() << ' ' << text;
        }
    }
}

} // namespace
} // namespace zarvello
