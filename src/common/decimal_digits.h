#pragma once

#include <QStringView>

#include <optional>

namespace vantiro {

// The value of a text of 1 to `maxDigits` ASCII decimal digits and nothing else: no sign, no blank and
// no other script's digits. `maxDigits` is at most 18, so that the value always fits.
inline std::optional<qint64> decimalDigitsValue(QStringView text, qsizetype maxDigits)
{
    if (text.isEmpty() || text.size() > maxDigits)
        return std::nullopt;
    qint64 value = 0;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + (c.unicode() - u'0');
    }
    return value;
}

} // namespace vantiro
