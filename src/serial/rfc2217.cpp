#include "rfc2217.h"

#include <QtEndian>

namespace vantiro::rfc2217 {

namespace {

quint8 parityOnWire(Parity parity)
{
    switch (parity) {
    case Parity::None:
        return 1;
    case Parity::Odd:
        return 2;
    case Parity::Even:
        return 3;
    case Parity::Mark:
        return 4;
    case Parity::Space:
        return 5;
    }
    return 1;
}

quint8 stopBitsOnWire(StopBits stopBits)
{
    switch (stopBits) {
    case StopBits::One:
        return 1;
    case StopBits::Two:
        return 2;
    case StopBits::OneAndHalf:
        return 3;
    }
    return 1;
}

Setting byteSetting(quint8 command, quint8 value)
{
    return Setting { command, QByteArray(1, char(value)) };
}

} // namespace

QString commandName(quint8 command)
{
    switch (command) {
    case setBaudRate:
        return QStringLiteral("baud rate");
    case setDataSize:
        return QStringLiteral("data size");
    case setParity:
        return QStringLiteral("parity");
    case setStopSize:
        return QStringLiteral("stop size");
    case setControl:
        return QStringLiteral("flow control");
    default:
        return QStringLiteral("setting %1").arg(command);
    }
}

QList<Setting> settingsFor(const PortSettings &settings, Handshaking handshaking)
{
    const bool flowControl = handshaking == Handshaking::RtsXonXoff;
    return {
        Setting { setBaudRate, baudRateOnWire(quint32(settings.baudRate)) },
        byteSetting(setDataSize, quint8(settings.dataBits)),
        byteSetting(setParity, parityOnWire(settings.parity)),
        byteSetting(setStopSize, stopBitsOnWire(settings.stopBits)),
        byteSetting(setControl, flowControl ? outboundXonXoff : outboundNone),
        byteSetting(setControl, flowControl ? inboundHardware : inboundNone),
    };
}

std::optional<Parity> parityFromWire(quint8 value)
{
    for (const Parity parity : { Parity::None, Parity::Odd, Parity::Even, Parity::Mark, Parity::Space }) {
        if (parityOnWire(parity) == value)
            return parity;
    }
    return std::nullopt;
}

std::optional<StopBits> stopBitsFromWire(quint8 value)
{
    for (const StopBits stopBits : { StopBits::One, StopBits::Two, StopBits::OneAndHalf }) {
        if (stopBitsOnWire(stopBits) == value)
            return stopBits;
    }
    return std::nullopt;
}

QByteArray baudRateOnWire(quint32 baudRate)
{
    QByteArray value(4, '\0');
    qToBigEndian(baudRate, value.data());
    return value;
}

quint32 baudRateFromWire(QByteArrayView value)
{
    return value.size() == 4 ? qFromBigEndian<quint32>(value.data()) : 0;
}

QByteArray negotiation(quint8 verb, quint8 option)
{
    const char bytes[] = { char(telnet::iac), char(verb), char(option) };
    return QByteArray(bytes, sizeof bytes);
}

QByteArray subnegotiation(quint8 command, QByteArrayView value)
{
    const char start[] = { char(telnet::iac), char(telnet::sb), char(comPortOption), char(command) };
    QByteArray bytes(start, sizeof start);
    bytes += escapeData(value, true);
    bytes += char(telnet::iac);
    bytes += char(telnet::se);
    return bytes;
}

QByteArray escapeData(QByteArrayView data, bool binary)
{
    QByteArray escaped;
    escaped.reserve(data.size() + 4);
    for (const char byte : data) {
        escaped += byte;
        if (quint8(byte) == telnet::iac)
            escaped += byte;
        else if (byte == '\r' && !binary)
            escaped += '\0';
    }
    return escaped;
}

QList<TelnetReader::Event> TelnetReader::feed(QByteArrayView bytes)
{
    QList<Event> events;
    for (const char byte : bytes) {
        if (m_malformed)
            break;
        const quint8 value = quint8(byte);
        switch (m_state) {
        case State::Data:
            if (value == telnet::iac)
                m_state = State::Iac;
            else
                appendData(events, byte);
            break;
        case State::Iac:
            m_state = State::Data;
            if (value == telnet::iac) {
                appendData(events, byte);
            } else if (value >= telnet::will) {
                m_verb = value;
                m_state = State::Verb;
            } else if (value == telnet::sb) {
                m_sub.clear();
                m_state = State::Subnegotiation;
            } // other commands (NOP, GA, ...) carry nothing for us
            break;
        case State::Verb:
            events.append(Event { Event::Kind::Negotiation, m_verb, value, {} });
            m_state = State::Data;
            break;
        case State::Subnegotiation:
            if (value == telnet::iac)
                m_state = State::SubnegotiationIac;
            else
                appendSub(byte);
            break;
        case State::SubnegotiationIac:
            if (value == telnet::iac) {
                appendSub(byte);
                m_state = State::Subnegotiation;
            } else {
                // IAC SE, or a broken subnegotiation that another command ends: take what came.
                if (!m_sub.isEmpty())
                    events.append(Event { Event::Kind::Subnegotiation, 0, quint8(m_sub.at(0)), m_sub.mid(1) });
                m_state = State::Data;
            }
            break;
        }
    }
    return events;
}

void TelnetReader::appendSub(char byte)
{
    if (m_sub.size() >= maxSubnegotiationBytes) {
        m_malformed = true;
        m_sub.clear();
        return;
    }
    m_sub += byte;
}

void TelnetReader::appendData(QList<Event> &events, char byte)
{
    const bool padding = !m_binary && m_afterCr && byte == '\0';
    m_afterCr = byte == '\r';
    if (padding)
        return;
    if (events.isEmpty() || events.last().kind != Event::Kind::Data)
        events.append(Event { Event::Kind::Data, 0, 0, {} });
    events.last().bytes += byte;
}

} // namespace vantiro::rfc2217
