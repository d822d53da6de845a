#include "serial/port_text.h"

namespace vantiro {

std::optional<int> comPortNumber(QStringView portText)
{
    portText = portText.trimmed();
    if (portText.isEmpty() || portText.size() > 5)
        return std::nullopt;
    int number = 0;
    for (const QChar c : portText) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        number = number * 10 + (c.unicode() - u'0');
    }
    if (number < lowestComPort || number > highestComPort)
        return std::nullopt;
    return number;
}

} // namespace vantiro
