#include "common/record_numbers.h"

#include "common/decimal_digits.h"

#include <algorithm>
#include <limits>

namespace vantiro {

std::optional<qint64> leadingWholeNumber(QStringView text)
{
    const QStringView trimmed = text.trimmed();
    qsizetype digits = trimmed.startsWith(u'+') ? 1 : 0;
    const qsizetype first = digits;
    qint64 number = 0;
    for (; digits < trimmed.size() && trimmed.at(digits).isDigit() && trimmed.at(digits).unicode() < 0x80; ++digits)
        number = std::min<qint64>(number * 10 + (trimmed.at(digits).unicode() - u'0'), std::numeric_limits<int>::max());
    if (digits == first)
        return std::nullopt;
    return number;
}

std::optional<int> recordNumber(QStringView key)
{
    if (key.startsWith(u'0'))
        return std::nullopt;
    const std::optional<qint64> number = decimalDigitsValue(key, 10);
    if (!number || *number > std::numeric_limits<int>::max())
        return std::nullopt;
    return int(*number);
}

} // namespace vantiro
