#include "line_settings.h"

#include "common/decimal_digits.h"

#include <QStringList>

#include <limits>

namespace vantiro {

namespace {

std::optional<qint32> positiveWholeNumber(const QString &text)
{
    const std::optional<qint64> value = decimalDigitsValue(text, 18);
    if (!value || *value <= 0 || *value > std::numeric_limits<qint32>::max())
        return std::nullopt;
    return qint32(*value);
}

std::optional<Parity> parityFromText(const QString &text)
{
    const QString lower = text.toLower();
    if (lower == u"n")
        return Parity::None;
    if (lower == u"e")
        return Parity::Even;
    if (lower == u"o")
        return Parity::Odd;
    if (lower == u"m")
        return Parity::Mark;
    if (lower == u"s")
        return Parity::Space;
    return std::nullopt;
}

std::optional<StopBits> stopBitsFromText(const QString &text)
{
    if (text == u"1")
        return StopBits::One;
    if (text == u"1.5")
        return StopBits::OneAndHalf;
    if (text == u"2")
        return StopBits::Two;
    return std::nullopt;
}

} // namespace

std::optional<PortSettings> parseLineSettings(const QString &text)
{
    QStringList fields = text.split(u',');
    if (fields.size() != 4)
        return std::nullopt;
    for (QString &field : fields)
        field = field.trimmed();

    const auto baudRate = positiveWholeNumber(fields[0]);
    const auto parity = parityFromText(fields[1]);
    const auto dataBits = positiveWholeNumber(fields[2]);
    const auto stopBits = stopBitsFromText(fields[3]);
    if (!baudRate || !parity || !dataBits || *dataBits < 5 || *dataBits > 8 || !stopBits)
        return std::nullopt;
    return PortSettings { *baudRate, *parity, *dataBits, *stopBits };
}

QString lineSettingsText(const PortSettings &settings)
{
    static constexpr const char16_t *parityLetters[] = { u"n", u"e", u"o", u"m", u"s" };
    static constexpr const char16_t *stopBitTexts[] = { u"1", u"1.5", u"2" };
    return QStringLiteral("%1,%2,%3,%4")
        .arg(settings.baudRate)
        .arg(QString::fromUtf16(parityLetters[int(settings.parity)]))
        .arg(settings.dataBits)
        .arg(QString::fromUtf16(stopBitTexts[int(settings.stopBits)]));
}

std::optional<QString> LineSettings::firstEmptySetting() const
{
    const std::pair<const QString &, const char16_t *> fields[] = {
        { baudRate, u"Baud Rate" },
        { parity, u"Parity" },
        { dataBits, u"Data Bits" },
        { stopBits, u"Stop Bits" },
    };
    for (const auto &[value, name] : fields) {
        if (value.isEmpty())
            return QString::fromUtf16(name);
    }
    return std::nullopt;
}

QString LineSettings::joined() const
{
    return QStringList { baudRate, parity, dataBits, stopBits }.join(u',');
}

} // namespace vantiro
