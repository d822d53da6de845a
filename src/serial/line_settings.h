#pragma once

#include <QString>

#include <optional>

namespace vantiro {

enum class Parity { None, Even, Odd, Mark, Space };
enum class StopBits { One, OneAndHalf, Two };

// Flow control of a send: 0 = none, 3 = RTS/CTS together with XON/XOFF (the LG panel's commands).
enum class Handshaking { None = 0, RtsXonXoff = 3 };

// The line settings of a port, read from texts such as "9600,n,8,1".
struct PortSettings
{
    qint32 baudRate = 9600;
    Parity parity = Parity::None;
    int dataBits = 8;
    StopBits stopBits = StopBits::One;

    friend bool operator==(const PortSettings &, const PortSettings &) = default;
};

// Baud rate (any positive whole number), parity ("e", "o", "n", "m", "s"), data bits (5 to 8) and
// stop bits ("1", "1.5", "2"), joined by commas. Anything else is not a line settings text.
std::optional<PortSettings> parseLineSettings(const QString &text);
QString lineSettingsText(const PortSettings &settings);

// The four line settings as the lists and files hold them, in the order the link takes them. An empty
// text is a setting not chosen.
struct LineSettings
{
    QString baudRate;
    QString parity;
    QString dataBits;
    QString stopBits;

    // The name of the first setting without text ("Baud Rate", "Parity", "Data Bits", "Stop Bits"),
    // or nothing when all four are there.
    std::optional<QString> firstEmptySetting() const;
    // "9600,n,8,1".
    QString joined() const;

    friend bool operator==(const LineSettings &, const LineSettings &) = default;
};

} // namespace vantiro
