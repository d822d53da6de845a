#include "serial/network_address.h"
#include "serial/network_transport.h"
#include "serial/serial_transport.h"

namespace vantiro {

std::unique_ptr<SerialTransport> makeTransportFor(const PortConfig &config)
{
    // A malformed address goes to the network transport too, which names what is wrong with it,
    // rather than being opened as a file.
    if (isNetworkAddress(config.devicePath))
        return makeNetworkTransport();
#ifdef Q_OS_UNIX
    return makeTermiosTransport();
#else
    return makeSerialPortTransport();
#endif
}

} // namespace vantiro
