#include "widgets/StandInFonts.h"

#include <QFont>
#include <QStringList>

namespace zarvello {

QFont pixelFont(const char* family, int pixels)
{
    QFont font(QString::fromLatin1(family));
    font.setPixelSize(pixels);
    return font;
}

void registerStandInFonts()
{
    // Measured on the program's own texts at their widest (dialog captions, the
    // meter's figures in every layout and both font sizes): of the faces Debian
    // offers, only Liberation Sans Narrow fits them all. Liberation Sans, cut a
    // few pixels short, is better than a wide fallback when Narrow is missing.
    const QStringList standIns{QStringLiteral("Liberation Sans Narrow"),
                               QStringLiteral("Liberation Sans")};
    for (const char* family : {"MS Sans Serif", "Arial"}) {
        QFont::insertSubstitutions(QString::fromLatin1(family), standIns);
    }
}

} // namespace zarvello
