#include "network_address.h"

#include <QRegularExpression>

using namespace Qt::StringLiterals;

namespace vantiro {

namespace {

const QString schemeSeparator = u"://"_s;

std::optional<NetworkAddress> malformed(QString *problem, const QString &why)
{
    if (problem)
        *problem = why;
    return std::nullopt;
}

} // namespace

QString NetworkAddress::hostAndPort() const
{
    const QString shownHost = host.contains(u':') ? u'[' + host + u']' : host;
    return shownHost + u':' + QString::number(port);
}

bool isNetworkAddress(QStringView devicePath)
{
    static const QRegularExpression scheme(u"^[A-Za-z][A-Za-z0-9+.-]*://"_s);
    return scheme.match(devicePath.trimmed().toString()).hasMatch();
}

std::optional<NetworkAddress> parseNetworkAddress(const QString &text, QString *problem)
{
    const QString trimmed = text.trimmed();
    if (!isNetworkAddress(trimmed))
        return malformed(problem, trimmed + u": not a network address"_s);
    const qsizetype separator = trimmed.indexOf(schemeSeparator);
    const QString scheme = trimmed.left(separator).toLower();
    NetworkAddress address;
    if (scheme == u"rfc2217"_s)
        address.protocol = NetworkAddress::Protocol::Rfc2217;
    else if (scheme == u"socket"_s)
        address.protocol = NetworkAddress::Protocol::RawTcp;
    else
        return malformed(problem, trimmed + u": unknown kind of address, use rfc2217:// or socket://"_s);

    // host:port, [v6 host]:port; a trailing slash is forgiven.
    static const QRegularExpression hostPort(u"^(?:\\[([0-9A-Fa-f:.]+)\\]|([^\\[\\]:/?#@\\s]+)):([0-9]{1,5})/?$"_s);
    const QRegularExpressionMatch match = hostPort.match(trimmed.mid(separator + schemeSeparator.size()));
    if (!match.hasMatch())
        return malformed(problem, trimmed + u": write the address as host:port"_s);
    const int port = match.captured(3).toInt();
    if (port < 1 || port > 65535)
        return malformed(problem, trimmed + u": the port must be from 1 to 65535"_s);
    address.host = match.captured(1).isEmpty() ? match.captured(2) : match.captured(1);
    address.port = quint16(port);
    return address;
}

} // namespace vantiro
