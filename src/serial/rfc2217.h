#pragma once

#include "serial/line_settings.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <optional>

// Telnet with the COM-PORT-OPTION (RFC 854, RFC 856, RFC 2217): the bytes a serial device server and
// its client exchange. Both sides of Vantiro use it: the network transport as the client, the virtual
// displays of vantiro-displays as the server.
namespace vantiro::rfc2217 {

namespace telnet {
inline constexpr quint8 se = 240;
inline constexpr quint8 sb = 250;
inline constexpr quint8 will = 251;
inline constexpr quint8 wont = 252;
inline constexpr quint8 doOption = 253;
inline constexpr quint8 dont = 254;
inline constexpr quint8 iac = 255;

inline constexpr quint8 binary = 0;
inline constexpr quint8 suppressGoAhead = 3;
} // namespace telnet

inline constexpr quint8 comPortOption = 44;

// Client commands; the server answers each with its number plus serverOffset and the value in force.
enum Command : quint8 {
    setBaudRate = 1,
    setDataSize = 2,
    setParity = 3,
    setStopSize = 4,
    setControl = 5,
};
inline constexpr quint8 serverOffset = 100;

// SET-CONTROL values for flow control. RFC 2217 has one outbound and one inbound setting, so
// RTS/CTS together with XON/XOFF is asked as XON/XOFF outbound and RTS/CTS inbound.
enum Control : quint8 {
    outboundNone = 1,
    outboundXonXoff = 2,
    outboundHardware = 3,
    inboundNone = 14,
    inboundXonXoff = 15,
    inboundHardware = 16,
};

struct Setting
{
    quint8 command = 0;
    QByteArray value;

    friend bool operator==(const Setting &, const Setting &) = default;
};

// "baud rate", "data size", ... for messages.
QString commandName(quint8 command);

// What a client asks for a port, in the order it asks: baud, data size, parity, stop size, flow control.
QList<Setting> settingsFor(const PortSettings &settings, Handshaking handshaking);

// A server's reading of what a client asked; nothing for a value it cannot take.
std::optional<Parity> parityFromWire(quint8 value);
std::optional<StopBits> stopBitsFromWire(quint8 value);
quint32 baudRateFromWire(QByteArrayView value);
// A baud rate as SET-BAUDRATE carries it: four bytes, most significant first.
QByteArray baudRateOnWire(quint32 baudRate);

QByteArray negotiation(quint8 verb, quint8 option);
// IAC SB COM-PORT-OPTION command value IAC SE, with any 0xFF in the value doubled.
QByteArray subnegotiation(quint8 command, QByteArrayView value);
// Data as it goes on the connection: 0xFF doubled, and outside binary mode CR followed by NUL so
// that it reaches the line as a bare CR.
QByteArray escapeData(QByteArrayView data, bool binary);

// Splits what arrives on a connection into data, option negotiations and subnegotiations. Takes the
// stream in pieces of any size.
class TelnetReader
{
public:
    struct Event
    {
        enum class Kind { Data, Negotiation, Subnegotiation };
        Kind kind = Kind::Data;
        quint8 verb = 0; // WILL, WONT, DO or DONT of a negotiation
        quint8 option = 0; // of a negotiation or subnegotiation
        QByteArray bytes; // the data, or what follows the option in a subnegotiation
    };

    // Nothing more is taken once the stream is malformed.
    QList<Event> feed(QByteArrayView bytes);
    // Outside binary mode a NUL after CR is padding and is dropped.
    void setBinary(bool binary) { m_binary = binary; }
    // Whether a subnegotiation ran past maxSubnegotiationBytes: no option of ours needs more, and a
    // peer that never ends one would otherwise fill the memory.
    bool isMalformed() const { return m_malformed; }

    static constexpr qsizetype maxSubnegotiationBytes = 4096;

private:
    enum class State { Data, Iac, Verb, Subnegotiation, SubnegotiationIac };

    void appendData(QList<Event> &events, char byte);
    void appendSub(char byte);

    State m_state = State::Data;
    quint8 m_verb = 0;
    QByteArray m_sub;
    bool m_binary = false;
    bool m_afterCr = false;
    bool m_malformed = false;
};

} // namespace vantiro::rfc2217
