#include "serial/port_text.h"

#include "common/decimal_digits.h"

namespace vantiro {

std::optional<int> comPortNumber(QStringView portText)
{
    const std::optional<qint64> number = decimalDigitsValue(portText.trimmed(), 5);
    if (!number || *number < lowestComPort || *number > highestComPort)
        return std::nullopt;
    return int(*number);
}

} // namespace vantiro
