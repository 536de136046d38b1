#include "version/Piece.h"

#include <QRandomGenerator>
#include <QStringList>

#include <gtest/gtest.h>

namespace zarvello {
namespace {

TEST(Piece, TakesTheNthPieceBetweenSeparators)
{
    struct Case
    {
        QString text;
        QString separator;
        int n;
        QString expected;
    };
    const Case cases[] = {
        {"2.2:www.example.org", ":", 1, "2.2"},
        {"2.2:www.example.org", ":", 2, "www.example.org"},
        {"2.2:www.example.org", ":", 3, ""},
        {"2.2:host:8080/x", ":", 2, "host"},
        {"2.2:host:8080/x", ":", 3, "8080/x"},
        {"2.1", ":", 1, "2.1"},
        {"2.1", ":", 2, ""},
        {":x", ":", 1, ""},
        {":x", ":", 2, "x"},
        {"a::b", ":", 2, ""},
        {"a::b", ":", 3, "b"},
        {"a:", ":", 2, ""},
        {"", ":", 1, ""},
        {"a:b", "", 1, ""},
        {"a:b", ":", 0, ""},
        {"a:b", ":", -1, ""},
        {"a;b;c", ";", 3, "c"},
        {"a:b;c", ";:", 1, "a:b"}, // only the separator's first character counts
        // The text ends at its first zero character.
        {QString::fromLatin1("2.1\0:x", 6), ":", 1, "2.1"},
        {QString::fromLatin1("2.1\0:x", 6), ":", 2, ""},
        {QString::fromLatin1("2.2:host\0:x", 11), ":", 2, "host"},
        {QString::fromLatin1("\0a:b", 4), ":", 1, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.toStdString() + " / " + c.separator.toStdString() + " / " +
                     std::to_string(c.n));
        EXPECT_EQ(Piece(c.text, c.separator, c.n), c.expected);
    }
}

// Random texts over a small alphabet rich in separators and zero characters.
// The pieces 1 .. k+1 of a text with k separators (before its first zero)
// must join back into that text, and every piece after them must be empty.
TEST(Piece, FuzzedPiecesRebuildTheTextUpToItsFirstZero)
{
    QRandomGenerator random(20240601); // fixed seed: a failure can be replayed
    const QString alphabet = QStringLiteral("ab:;.\u00e9");
    const int letters = static_cast<int>(alphabet.size());
    for (int round = 0; round < 20000; ++round) {
        QString text;
        const int length = random.bounded(24);
        for (int i = 0; i < length; ++i) {
            const int pick = random.bounded(letters + 1);
            text += pick == letters ? QChar(u'\0') : alphabet[pick];
        }
        const QString separator =
            random.bounded(10) == 0 ? QString() : QString(alphabet[2 + random.bounded(2)]);
        SCOPED_TRACE("round " + std::to_string(round) + ": " + text.toStdString());

        if (separator.isEmpty()) {
            EXPECT_EQ(Piece(text, separator, 1 + random.bounded(4)), QString());
            continue;
        }
        const qsizetype zero = text.indexOf(QChar(u'\0'));
        const QString cut = zero < 0 ? text : text.left(zero);
        const qsizetype separators = cut.count(separator[0]);
        QStringList pieces;
        for (int n = 1; n <= separators + 1; ++n) {
            const QString piece = Piece(text, separator, n);
            ASSERT_FALSE(piece.contains(separator[0])) << n;
            ASSERT_FALSE(piece.contains(QChar(u'\0'))) << n;
            pieces << piece;
        }
        ASSERT_EQ(pieces.join(separator[0]), cut);
        for (int n = static_cast<int>(separators) + 2; n <= separators + 4; ++n) {
            ASSERT_EQ(Piece(text, separator, n), QString()) << n;
        }
    }
}

} // namespace
} // namespace zarvello
