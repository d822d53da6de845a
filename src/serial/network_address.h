#pragma once

#include <QString>
#include <QStringView>

#include <optional>

namespace vantiro {

// A serial port behind a serial device server, as Ports.ini names it instead of a device path:
// "rfc2217://host:port" (the server takes the line settings from us) or "socket://host:port" (raw
// TCP: the server keeps its own). A numeric IPv6 host is written in brackets: "rfc2217://[::1]:4001".
struct NetworkAddress
{
    enum class Protocol { Rfc2217, RawTcp };

    Protocol protocol = Protocol::Rfc2217;
    QString host;
    quint16 port = 0;

    // "host:port", as the operator reads it in an outcome.
    QString hostAndPort() const;
};

// Whether a Ports.ini value names a network address ("scheme://...") rather than a device path, well
// formed or not. Such a value is never opened as a file.
bool isNetworkAddress(QStringView devicePath);

// The address a value names; nothing, with the reason in `problem`, for one that is malformed (no
// port, a port out of range, a scheme other than rfc2217 and socket).
std::optional<NetworkAddress> parseNetworkAddress(const QString &text, QString *problem = nullptr);

} // namespace vantiro
