#pragma once

#include "common/prompts.h"
#include "serial/send_outcome.h"

#include <QString>

#include <optional>

namespace vantiro {

class SerialLink;

// How a checked send ended.
struct CheckedSend
{
    // What the link made of the send; nothing when the checks stopped it before it reached the link.
    std::optional<SendOutcome> outcome;
    // Why no byte went out, in the operator's words, naming the port as the main window does ("COM 4:
    // no such device", "COM x9 is not a COM number", "no COM port set"); empty when the command was
    // sent.
    QString problem;

    bool sent() const { return problem.isEmpty(); }
};

// The custom panel's checked send. The port specification is five comma-separated fields: port,
// baud rate, parity, data bits, stop bits ("3,9600,n,8,1"). An empty command or a missing field is
// reported with its message and nothing is sent. Otherwise the command goes out on the link without
// flow control; a command of no bytes ("XYZ", a lone "_") is not sent at all, and the port is not
// opened for it. With showFinish the operator learns how it went: a port that is not a COM number, a
// failed send and a command of no bytes are each told as not sent.
CheckedSend sendWithPortSpec(SerialLink &link, Prompts &prompts, BusyPointer &busyPointer, const QString &portSpec,
                             const QString &command, bool showFinish);

} // namespace vantiro
