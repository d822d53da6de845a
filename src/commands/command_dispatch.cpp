#include "commands/command_dispatch.h"

#include "common/event_wait.h"

namespace vantiro {

namespace {

struct IndexMeaning
{
    const char16_t *index;
    HandOffKind kind;
};

// Every hand-off index and what it means, in one place.
constexpr IndexMeaning indexMeanings[] = {
    { u"0", { CommandOrigin::GroupPortsOwnModels, HandOffCommand::PowerOn } },
    { u"1", { CommandOrigin::GroupPortsOwnModels, HandOffCommand::PowerOff } },
    { u"7", { CommandOrigin::GroupPortsOwnModels, HandOffCommand::AutoConfig } },
    { u"2", { CommandOrigin::EveryComPort, HandOffCommand::PowerOn } },
    { u"3", { CommandOrigin::EveryComPort, HandOffCommand::PowerOff } },
    { u"8", { CommandOrigin::EveryComPort, HandOffCommand::AutoConfig } },
    { u"4", { CommandOrigin::GroupPortsListSettings, HandOffCommand::MuteOn } },
    { u"5", { CommandOrigin::GroupPortsListSettings, HandOffCommand::MuteOff } },
    { u"6", { CommandOrigin::GroupPortsListSettings, HandOffCommand::Volume } },
    { u"99", { CommandOrigin::HyundaiPanel, HandOffCommand::AsGiven } },
    { u"100", { CommandOrigin::LgPanel, HandOffCommand::AsGiven } },
};

} // namespace

HandOffKind handOffKind(const QString &pendingCommandIndex)
{
    for (const IndexMeaning &meaning : indexMeanings) {
        if (pendingCommandIndex == QStringView(meaning.index))
            return meaning.kind;
    }
    return {};
}

QString handOffIndex(HandOffKind kind)
{
    for (const IndexMeaning &meaning : indexMeanings) {
        if (meaning.kind == kind)
            return QString::fromUtf16(meaning.index);
    }
    return {};
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
