#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// A command is held as text: each byte as two upper-case hexadecimal digits, tokens separated by
// single blanks ("6B 61 20 30 31 20 30 31 0D" is "ka 01 01" and a carriage return). Templates carry
// the value placeholder "_" (and, in one LG tuning template, the minor placeholder "-") that are
// filled with an encoded value just before sending.
namespace vantiro {

inline const QString valuePlaceholder = QStringLiteral("_");
inline const QString minorPlaceholder = QStringLiteral("-");

// Volume-style encoder: the value clamped to 0..100, written in hexadecimal without leading zeros,
// each hex digit sent as its ASCII code ("25" -> "31 39", "10" -> "41").
std::optional<QString> hexDigitsText(const QString &valueText);

// The value clamped to 0..100, its decimal digits sent as ASCII ("25" -> "32 35", "025" -> "30 32 35");
// a text of four or more characters sends the digits of its value ("0025" -> "32 35").
std::optional<QString> decimalDigitsText(const QString &valueText);

// Channel encoder: two hexadecimal digits, zero-padded, sent as ASCII ("5" -> "30 35"); no upper clamp,
// values from 256 on give the single token of the first hex digit.
std::optional<QString> paddedHexText(const QString &valueText);

// One token per character; "<&H0D>" and "<&H0A>" stand for carriage return and line feed.
QString textToCommandText(const QString &text);

// Every occurrence of the placeholder replaced by the fragment, the result trimmed.
QString fillPlaceholder(const QString &commandTemplate, const QString &placeholder, const QString &fragment);

// The bytes a command text stands for. Tokens that are not a byte value (empty, unfilled
// placeholders, anything above FF) are skipped one by one.
QByteArray parseCommandText(const QString &commandText);

// The number formed by the leading decimal digits after leading blanks; 0 when there are none.
// Saturates instead of overflowing.
qint64 numericReading(QStringView text);

// One token read as a byte value, or nothing when the token is not one.
std::optional<quint8> parseCommandToken(QStringView token);

} // namespace vantiro
