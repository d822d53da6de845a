#pragma once

#include "common/prompts.h"
#include "serial/send_outcome.h"

#include <QString>

#include <optional>

namespace vantiro {

class SerialLink;

// The custom panel's checked send. The port specification is five comma-separated fields: port,
// baud rate, parity, data bits, stop bits ("3,9600,n,8,1"). An empty command or a missing field is
// reported with its message and nothing is sent (the result is empty). Otherwise the command goes
// out on the link without flow control, and with showFinish the operator learns how it went: a port
// that is not a COM number, a failed send and a command of no bytes are each told as not sent.
std::optional<SendOutcome> sendWithPortSpec(SerialLink &link, Prompts &prompts, BusyPointer &busyPointer,
                                            const QString &portSpec, const QString &command, bool showFinish);

} // namespace vantiro
