#include "NumberText.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace NumberText {
namespace {

bool isIgnored(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\n';
}

bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

// Collects the longest prefix that reads as a number, ignored characters left out.
std::string numberPrefix(QStringView text)
{
    std::string out;
    bool digits = false;
    bool point = false;
    bool exponent = false;
    bool exponentDigits = false;
    size_t beforeExponent = 0;
    for (QChar c : text) {
        if (isIgnored(c))
            continue;
        if (isDigit(c)) {
            out += char(c.unicode());
            (exponent ? exponentDigits : digits) = true;
        } else if ((c == u'+' || c == u'-') && (out.empty() || (exponent && out.back() == 'e'))) {
            out += char(c.unicode());
        } else if (c == u'.' && !point && !exponent) {
            out += '.';
            point = true;
        } else if ((c == u'e' || c == u'E') && digits && !exponent) {
            beforeExponent = out.size();
            out += 'e';
            exponent = true;
        } else {
            break;
        }
    }
    if (exponent && !exponentDigits)
        out.resize(beforeExponent);
    return digits ? out : std::string();
}

} // namespace

double numericValue(QStringView text)
{
    std::string number = numberPrefix(text);
    if (number.empty())
        return 0.0;
    const char *first = number.data();
    if (*first == '+')
        ++first;
    double value = 0.0;
    auto [end, ec] = std::from_chars(first, number.data() + number.size(), value);
    (void)end;
    if (ec == std::errc::result_out_of_range) {
        // from_chars leaves the value alone on overflow and underflow alike.
        const bool negative = number.front() == '-';
        const bool tiny = number.find("e-") != std::string::npos;
        if (tiny)
            return negative ? -0.0 : 0.0;
        return negative ? -std::numeric_limits<double>::infinity()
                        : std::numeric_limits<double>::infinity();
    }
    return value;
}

std::optional<int16_t> toInteger(double value)
{
    const double rounded = std::nearbyint(value);
    if (!(rounded >= -32768.0 && rounded <= 32767.0))
        return std::nullopt;
    return static_cast<int16_t>(rounded);
}

std::optional<int16_t> integerValue(QStringView text)
{
    return toInteger(numericValue(text));
}

int16_t integerValueOr(QStringView text, int16_t outOfRange)
{
    return integerValue(text).value_or(outOfRange);
}

QString displayForm(long long n)
{
    return n < 0 ? QString::number(n) : QLatin1Char(' ') + QString::number(n);
}

QString plainForm(long long n)
{
    return QString::number(n);
}

} // namespace NumberText
