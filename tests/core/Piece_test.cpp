#include "core/Piece.h"

#include <gtest/gtest.h>

namespace zarvello {
namespace {

// The everyday pieces are checked through the version reply; these are the edges.
TEST(Piece, IsEmptyWithoutASeparatorBelowPieceOneAndPastTheLastPiece)
{
    const struct
    {
        const char16_t* separator;
        int n;
        const char16_t* expected;
    } rows[] = {{u":", 1, u"a"}, {u":", 2, u"b"}, {u":", 0, u""}, {u"", 1, u""}, {u":", 3, u""}};
    for (const auto& row : rows) {
        EXPECT_EQ(Piece(u"a:b", row.separator, row.n), QString::fromUtf16(row.expected)) << row.n;
    }
}

} // namespace
} // namespace zarvello
