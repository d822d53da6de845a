#pragma once

#include "serial/send_outcome.h"

#include <QHash>
#include <QString>

#include <memory>
#include <optional>

namespace vantiro {

// Maps COM numbers to serial devices. "Ports.ini" in the application folder may name a device for
// any COM number (section "COM_PORTS", key = COM number, value = device path), for USB adapters
// and stable /dev/serial/by-id names, or a port behind a serial device server ("rfc2217://host:port",
// "socket://host:port", passed on as the device path); without an entry COM n is /dev/ttyS{n-1} on Linux and COMn on
// Windows. The file is read again whenever it changes, so edits take effect without a restart.
//
// The file is only ever read on a thread of its own, and only when it is a regular file: a pipe, a
// device or a stalled disk under that name never holds up the caller (the window asks on every
// send). A read of a local file takes well under a millisecond; only a stalled one makes a caller
// wait, at most readWaitMs and once, and then go on with the devices read last. Copies of a map share
// what was read.
class PortMap
{
public:
    explicit PortMap(QString applicationFolder);

    QString devicePath(int comNumber) const;
    // The device as the file was last read, without reading it again: after one devicePath() or
    // refresh(), for the many ports of one run.
    QString lastReadDevicePath(int comNumber) const;
    // Whether the file, as last read, names the device of this COM number.
    bool lastReadHasEntry(int comNumber) const;
    // Reads the file again if it changed (see above).
    void refresh() const;

    static QString defaultDevicePath(int comNumber);
    static QString fileName() { return QStringLiteral("Ports.ini"); }
    static QString sectionName() { return QStringLiteral("COM_PORTS"); }

    static constexpr int readWaitMs = 1000;

private:
    struct Shared;

    std::shared_ptr<Shared> m_shared;
};

// Why a device cannot take a send as it stands: it does not exist, or it is a file, a folder or a
// pipe rather than a serial device. Nothing when it looks like a port. The device is only looked at,
// never opened; a network address is not looked up, only read: nothing when it is well formed,
// "unreachable" when it is malformed.
std::optional<SendOutcome::Status> deviceProblem(const QString &devicePath);

} // namespace vantiro
