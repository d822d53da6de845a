#include "command_text.h"

#include <QStringList>

#include <algorithm>
#include <limits>

namespace vantiro {

namespace {

// A value text of decimal digits (blanks around it allowed, an optional minus sign), kept as the
// digit string without leading zeros so that numbers of any length are handled exactly.
struct DecimalValue
{
    bool negative = false;
    QString digits; // no leading zeros; "0" for zero
};

std::optional<DecimalValue> readDecimal(const QString &valueText)
{
    QStringView text = QStringView(valueText).trimmed();
    DecimalValue value;
    if (text.startsWith(u'-')) {
        value.negative = true;
        text = text.mid(1);
    }
    if (text.isEmpty())
        return std::nullopt;
    if (!std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; }))
        return std::nullopt;
    while (text.size() > 1 && text.front() == u'0')
        text = text.mid(1);
    value.digits = text.toString();
    if (value.digits == u"0")
        value.negative = false;
    return value;
}

bool isGreaterThan(const QString &digits, int limit)
{
    const QString limitDigits = QString::number(limit);
    if (digits.size() != limitDigits.size())
        return digits.size() > limitDigits.size();
    return digits > limitDigits;
}

// Upper-case hexadecimal spelling of a non-negative decimal digit string of any length.
QString decimalToHex(QString digits)
{
    static constexpr char hexDigits[] = "0123456789ABCDEF";
    QString hex;
    while (!(digits.size() == 1 && digits.front() == u'0')) {
        QString quotient;
        int remainder = 0;
        for (QChar c : std::as_const(digits)) {
            remainder = remainder * 10 + (c.unicode() - u'0');
            const int q = remainder / 16;
            remainder %= 16;
            if (!quotient.isEmpty() || q != 0)
                quotient.append(QChar(u'0' + q));
        }
        hex.prepend(QLatin1Char(hexDigits[remainder]));
        digits = quotient.isEmpty() ? QStringLiteral("0") : quotient;
    }
    return hex.isEmpty() ? QStringLiteral("0") : hex;
}

int hexDigitValue(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

QString asciiToken(QChar c)
{
    return QStringLiteral("%1").arg(c.unicode(), 2, 16, QLatin1Char('0')).toUpper();
}

// Each character of an ASCII text as one token.
QString asciiTokens(QStringView text)
{
    QStringList tokens;
    for (QChar c : text)
        tokens.append(asciiToken(c));
    return tokens.join(u' ');
}

// The value clamped to 0..100 as a digit string.
QString clampedTo100(const DecimalValue &value)
{
    if (value.negative)
        return QStringLiteral("0");
    if (isGreaterThan(value.digits, 100))
        return QStringLiteral("100");
    return value.digits;
}

} // namespace

std::optional<QString> hexDigitsText(const QString &valueText)
{
    const auto value = readDecimal(valueText);
    if (!value)
        return std::nullopt;
    const QString hex = decimalToHex(clampedTo100(*value));
    return asciiTokens(hex);
}

std::optional<QString> decimalDigitsText(const QString &valueText)
{
    const auto value = readDecimal(valueText);
    if (!value)
        return std::nullopt;
    // The text is kept as typed unless it was clamped, so "025" keeps its leading zero. A longer text
    // ("0025") has no encoding of its own length: its value's digits are sent instead.
    QString text = valueText.trimmed();
    if (value->negative || isGreaterThan(value->digits, 100) || text.size() > 3)
        text = clampedTo100(*value);
    if (text.size() == 2 || text.size() == 3)
        return asciiTokens(text);
    return asciiTokens(QStringView(text).left(1));
}

std::optional<QString> paddedHexText(const QString &valueText)
{
    const auto value = readDecimal(valueText);
    if (!value)
        return std::nullopt;
    QString hex = decimalToHex(value->negative ? QStringLiteral("0") : value->digits);
    if (hex.size() == 1)
        hex.prepend(u'0');
    if (hex.size() == 2)
        return asciiTokens(hex);
    return asciiTokens(QStringView(hex).left(1));
}

QString textToCommandText(const QString &text)
{
    QString expanded = text;
    expanded.replace(QStringLiteral("<&H0D>"), QStringLiteral("\r"));
    expanded.replace(QStringLiteral("<&H0A>"), QStringLiteral("\n"));

    QStringList tokens;
    for (const char32_t codePoint : expanded.toUcs4()) {
        if (codePoint == u'\r' || codePoint == u'\n') {
            tokens.append(codePoint == u'\r' ? QStringLiteral("0D") : QStringLiteral("0A"));
            continue;
        }
        if (codePoint <= 0xFF) {
            tokens.append(QString::number(codePoint, 16).toUpper());
            continue;
        }
        // Beyond Latin-1 a character has no single byte; send its UTF-8 bytes rather than lose it.
        for (const char byte : QString::fromUcs4(&codePoint, 1).toUtf8())
            tokens.append(QString::number(quint8(byte), 16).toUpper());
    }
    return tokens.join(u' ');
}

QString fillPlaceholder(const QString &commandTemplate, const QString &placeholder, const QString &fragment)
{
    QString filled = commandTemplate;
    if (!placeholder.isEmpty())
        filled.replace(placeholder, fragment, Qt::CaseSensitive);
    return filled.trimmed();
}

qint64 numericReading(QStringView text)
{
    text = text.trimmed();
    qint64 value = 0;
    for (QChar c : text) {
        if (c < u'0' || c > u'9')
            break;
        value = value > (std::numeric_limits<qint64>::max() - 9) / 10 ? std::numeric_limits<qint64>::max()
                                                                      : value * 10 + (c.unicode() - u'0');
    }
    return value;
}

std::optional<quint8> parseCommandToken(QStringView token)
{
    token = token.trimmed();
    if (token.isEmpty())
        return std::nullopt;
    unsigned value = 0;
    for (QChar c : token) {
        const int digit = hexDigitValue(c);
        if (digit < 0)
            return std::nullopt;
        value = value * 16 + unsigned(digit);
        if (value > 0xFF)
            return std::nullopt;
    }
    return quint8(value);
}

QByteArray parseCommandText(const QString &commandText)
{
    QByteArray bytes;
    for (QStringView token : QStringView(commandText).split(u' ')) {
        if (const auto byte = parseCommandToken(token))
            bytes.append(char(*byte));
    }
    return bytes;
}

} // namespace vantiro
