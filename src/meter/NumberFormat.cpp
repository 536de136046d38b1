#include "meter/NumberFormat.h"

#include <array>
#include <charconv>
#include <cmath>
#include <string>
#include <string_view>

namespace zarvello {
namespace {

struct Rounded
{
    bool negative = false;
    std::string integer;  // digits, no leading zeros except "0"
    std::string fraction; // exactly the requested number of digits
};

// Rounds the shortest decimal form of value to `decimals` places, half away from zero.
Rounded roundDecimal(double value, int decimals)
{
    Rounded r;
    if (!std::isfinite(value)) {
        r.integer = "0";
        r.fraction.assign(static_cast<size_t>(decimals), '0');
        return r;
    }
    std::array<char, 512> buffer{}; // room for any double in fixed notation
    const auto [end, ec] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                         std::chars_format::fixed);
    const std::string_view text = ec == std::errc{}
                                      ? std::string_view(buffer.data(), end - buffer.data())
                                      : std::string_view("0");
    std::string_view magnitude = text;
    if (!magnitude.empty() && magnitude.front() == '-') {
        r.negative = true;
        magnitude.remove_prefix(1);
    }
    const auto dot = magnitude.find('.');
    const std::string_view integer = magnitude.substr(0, dot);
    const std::string_view fraction =
        dot == std::string_view::npos ? std::string_view() : magnitude.substr(dot + 1);

    // A leading zero gives the carry somewhere to go ("9.96" → "10.0").
    const auto keep = static_cast<size_t>(decimals);
    std::string digits;
    digits.reserve(integer.size() + keep + 1);
    digits.push_back('0');
    digits.append(integer);
    for (size_t i = 0; i < keep; ++i) {
        digits.push_back(i < fraction.size() ? fraction[i] : '0');
    }
    if (fraction.size() > keep && fraction[keep] >= '5') {
        size_t i = digits.size() - 1;
        while (digits[i] == '9') {
            digits[i--] = '0';
        }
        ++digits[i];
    }
    const std::string_view all(digits);
    const std::string_view whole = all.substr(0, all.size() - keep);
    const auto firstNonZero = whole.find_first_not_of('0');
    r.integer.assign(firstNonZero == std::string_view::npos ? std::string_view("0")
                                                            : whole.substr(firstNonZero));
    r.fraction.assign(all.substr(all.size() - keep));
    if (r.integer == "0" && r.fraction.find_first_not_of('0') == std::string::npos) {
        r.negative = false;
    }
    return r;
}

QString grouped(const std::string& digits, const QString& separator)
{
    QString out;
    const auto n = digits.size();
    for (size_t i = 0; i < n; ++i) {
        if (i > 0 && (n - i) % 3 == 0) {
            out += separator;
        }
        out += QLatin1Char(digits[i]);
    }
    return out;
}

QString sign(const Rounded& r)
{
    return r.negative ? QStringLiteral("-") : QString();
}

} // namespace

QString formatOneDecimal(double value, const QLocale& locale)
{
    const Rounded r = roundDecimal(value, 1);
    return sign(r) + QString::fromStdString(r.integer) + locale.decimalPoint() +
           QString::fromStdString(r.fraction);
}

QString formatWhole(double value)
{
    const Rounded r = roundDecimal(value, 0);
    return sign(r) + QString::fromStdString(r.integer);
}

QString formatGrouped(double value, const QLocale& locale)
{
    const Rounded r = roundDecimal(value, 0);
    return sign(r) + grouped(r.integer, locale.groupSeparator());
}

} // namespace zarvello
