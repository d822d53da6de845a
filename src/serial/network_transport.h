#pragma once

#include "serial/serial_transport.h"

#include <memory>

namespace vantiro {

// A port behind a serial device server, reached over TCP for one send (see network_address.h):
//  - RFC 2217: the COM-PORT-OPTION is negotiated and the line settings (baud, data size, parity,
//    stop size, flow control) are set and confirmed by the server before open() reports the port
//    open; a server that refuses the option or a setting leaves the send "settings rejected".
//  - raw TCP: the server's own line settings apply; a send that gets through says so
//    ("sent (line settings kept by the server)").
// drain() hands every byte to the connection; finish() gives the bytes the time they take on the
// line at the port's speed, ends our side of the connection and waits for the server to end its
// side, so the server has taken every byte; only then is the send done. The connection takes at
// most connectTimeoutMs to come up and the whole send at most sendTimeoutMs; a server that cannot be
// reached in time, refuses the connection or drops it leaves the send "unreachable", naming host and
// port. A server whose answer no server would give (a subnegotiation that never ends, an endless run
// of negotiations) ends the send as "the server's answer is malformed"; what a server sends is read
// in bounded pieces, so it cannot fill the memory. Blocking calls only: it runs on the link's thread,
// never on the window's.
std::unique_ptr<SerialTransport> makeNetworkTransport();

inline constexpr int connectTimeoutMs = 3000;
inline constexpr int sendTimeoutMs = 5000;
// What a connection is given to close when the link comes back to it late.
inline constexpr int closeGraceMs = 1000;
// What is read from a server at a time; the socket holds no more.
inline constexpr qint64 readChunkBytes = 16 * 1024;
// Negotiations a server may send in one connection: one per option and verb is already far more
// than any server sends.
inline constexpr int maxNegotiations = 256;

// Why a port is not tried on a host that gave no connection in time earlier in the same run:
// "127.0.0.1: no connection within 3 s; not tried again in this send".
QString notTriedAgainText(const QString &host);

} // namespace vantiro
