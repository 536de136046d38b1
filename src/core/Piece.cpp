#include "core/Piece.h"

namespace zarvello {

QString piece(QStringView text, QStringView separator, int n)
{
    if (separator.isEmpty() || n < 1) {
        return {};
    }
    if (const qsizetype zero = text.indexOf(QChar(u'\0')); zero >= 0) {
        text = text.left(zero);
    }
    const QChar sep = separator.front();
    qsizetype start = 0;
    for (int found = 1; found < n; ++found) {
        const qsizetype at = text.indexOf(sep, start);
        if (at < 0) {
            return {};
        }
        start = at + 1;
    }
    const qsizetype end = text.indexOf(sep, start);
    return text.mid(start, end < 0 ? -1 : end - start).toString();
}

} // namespace zarvello
