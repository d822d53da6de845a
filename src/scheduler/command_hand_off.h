#pragma once

#include <QString>

namespace vantiro {

// What a sender leaves for the executor: the command, where it comes from ("0" to "8" the quick
// commands and scheduled functions, "99" the Hyundai panel, "100" the LG panel), and whether the
// executor reports to the status log (true) or in a message box (false). The fields keep their
// values after a send.
struct CommandHandOff
{
    QString pendingCommand;
    QString pendingCommandIndex;
    bool reportToStatusLog = false;
};

// The port and line settings an instant-command panel last handed over with its command.
class PanelHandOff
{
public:
    virtual ~PanelHandOff() = default;
    virtual QString panelCommPort() const = 0;
    virtual QString panelLineSettings() const = 0;
};

} // namespace vantiro
