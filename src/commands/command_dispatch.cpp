#include "commands/command_dispatch.h"

#include "common/event_wait.h"

namespace vantiro {

CommandOrigin commandOrigin(const QString &pendingCommandIndex)
{
    const QString &index = pendingCommandIndex;
    if (index == u"0" || index == u"1" || index == u"7")
        return CommandOrigin::GroupPortsOwnModels;
    if (index == u"2" || index == u"3" || index == u"8")
        return CommandOrigin::EveryComPort;
    if (index == u"4" || index == u"5" || index == u"6")
        return CommandOrigin::GroupPortsListSettings;
    if (index == u"99")
        return CommandOrigin::HyundaiPanel;
    if (index == u"100")
        return CommandOrigin::LgPanel;
    return CommandOrigin::Unknown;
}

Handshaking handshakingFor(CommandOrigin origin)
{
    return origin == CommandOrigin::LgPanel ? Handshaking::RtsXonXoff : Handshaking::None;
}

CommandReport waitForCompletion(const QFuture<CommandReport> &completion)
{
    // The executor finishes a completion on this thread.
    waitWhileEventsRun(completion, OnQuit::Return);
    return completion.resultCount() > 0 ? completion.result() : CommandReport {};
}

} // namespace vantiro
