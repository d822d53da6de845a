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

// Commands handed over with index "100" (the LG panel) go out with RTS and XON/XOFF.
Handshaking handshakingForIndex(const QString &pendingCommandIndex);

} // namespace vantiro
