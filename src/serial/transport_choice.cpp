#include "serial/serial_transport.h"

namespace vantiro {

std::unique_ptr<SerialTransport> makeTransportFor(const PortConfig &config)
{
    Q_UNUSED(config);
    return makeSerialPortTransport();
}

} // namespace vantiro
