#pragma once

#include "commands/command_dispatch.h"

#include <QJsonArray>
#include <QString>
#include <QStringList>

#include <optional>
#include <variant>

namespace vantiro::send {

// What vantiro-send was asked to do, read from its arguments.
struct Options
{
    enum class Action { Send, List, Status };

    Action action = Action::Send;
    QString group; // --group
    std::optional<int> com; // --com
    QString model; // --model
    QString volume; // --volume
    QString name; // the function or command
    QString applicationFolder; // --app-folder
    bool json = false;
};

// The options, or why they are wrong. --help and --version are the caller's.
std::variant<Options, QString> readOptions(const QStringList &positional, const QString &group, const QString &com,
                                           const QString &model, const QString &volume, bool list, bool status);

// A command ready for the executor, and how it is named in the copy's status log.
struct PlannedSend
{
    CommandRequest request;
    QString what;
    // The "All" functions address COM 1 to 40 by design: ports with no device there do not count.
    bool everyComPort = false;
};

// A schedule function for a group's ports ({com, model} objects, as a list answer gives them): the same
// hand-off and snapshot as a schedule row with that function. Nothing but the reason for a usage error.
std::variant<PlannedSend, QString> planFunction(const QString &function, const QString &group,
                                                const QJsonArray &groupPorts);
// A quick command to one port of one model.
std::variant<PlannedSend, QString> planQuickCommand(const QString &command, int com, const QString &model,
                                                    const QString &volume);

// The ports of the group of that name in a list answer's "groups"; nothing when there is no such group.
std::optional<QJsonArray> groupPorts(const QJsonArray &groups, const QString &group);

} // namespace vantiro::send
