#pragma once

#include <QString>
#include <QStringView>
#include <cstdint>
#include <optional>

// How both programs read numbers from text, and the two ways they print them.
namespace NumberText {

// The number a text begins with. Blanks, tabs and line feeds are ignored anywhere;
// reading stops at the first character that cannot continue the number, and a text
// that does not begin with one is worth 0 ("1 2" and "12A" give 12, "A12" gives 0).
double numericValue(QStringView text);

// The nearest integer, halves to the even neighbour, or nothing when that lies
// outside -32768..32767.
std::optional<int16_t> toInteger(double value);

// toInteger(numericValue(text)).
std::optional<int16_t> integerValue(QStringView text);

// integerValue, with a caller-chosen stand-in for a value outside the 16-bit range.
int16_t integerValueOr(QStringView text, int16_t outOfRange);

// " 5" and "-5": one blank or a minus sign, then the digits.
QString displayForm(long long n);

// "5" and "-5".
QString plainForm(long long n);

} // namespace NumberText
