#include "serial/serial_transport.h"

namespace vantiro {
} // namespace vantiro
