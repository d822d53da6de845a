#pragma once

#include <QtGlobal>

#include <optional>

namespace vantiro::displays {

// The line settings of a pseudo-terminal, read on either side.
struct LineState
{
    quint32 baudRate = 0; // any speed, standard or not
    // Whether every change of the settings is reported to the master in packet mode (EXTPROC).
    bool reportsChanges = false;
};

std::optional<LineState> readLineState(int fd);

} // namespace vantiro::displays
