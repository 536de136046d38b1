#pragma once

#include <QString>
#include <QStringView>

namespace zarvello {

// Piece n (counting from 1) of text between separators: piece 1 runs up to
// the first separator, piece n up to the n-th, the last one to the end of the
// text. The text ends at its first zero character, so nothing after it is
// ever part of a piece. Empty when the text or the separator is empty, when n
// is below 1, or when the text holds fewer than n - 1 separators. Only the
// separator's first character counts.
[[nodiscard]] QString piece(QStringView text, QStringView separator, int n);

} // namespace zarvello
