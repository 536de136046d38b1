#pragma once

#include <QLocale>
#include <QString>

namespace zarvello {

// The meter's three number patterns. All round half away from zero on the
// value's shortest round-tripping decimal expansion (1.15 → "1.2"), write an
// ASCII '-' for negatives, drop the sign of a value that rounds to zero, and
// use the locale's decimal and grouping separators.
[[nodiscard]] QString formatOneDecimal(double value, const QLocale& locale); // "0.0"
[[nodiscard]] QString formatWhole(double value);                             // "0"
[[nodiscard]] QString formatGrouped(double value, const QLocale& locale);    // "#,##0"

} // namespace zarvello
