#pragma once

#include "running_copy/send_plan.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>

#include <chrono>
#include <variant>

namespace vantiro::send {

// vantiro-send's command line and what it prints, shared by the program and by the running copy, which carries out
// a send asked for with vantiro-send's arguments (send_requests.h).

// The exit status of vantiro-send.
enum Exit { AllReached = 0, NotReached = 1, Usage = 2, NoAnswer = 3 };

// How long a send may take to be answered: it may wait behind a run to every COM port, or behind a message box
// of the window's own send.
inline constexpr std::chrono::seconds sendAnswerTimeout { 60 };
inline constexpr std::chrono::seconds shortAnswerTimeout { 5 };
inline constexpr std::chrono::milliseconds connectTimeout { 200 };

// The options vantiro-send takes, and its help.
struct CommandLine
{
    CommandLine();
    // The options, or why they are wrong, once parse() has succeeded; --help and --version are the caller's.
    std::variant<Options, QString> options() const;

    QCommandLineParser parser;
    QCommandLineOption group;
    QCommandLineOption com;
    QCommandLineOption model;
    QCommandLineOption volume;
    QCommandLineOption list;
    QCommandLineOption status;
    QCommandLineOption applicationFolder;
    QCommandLineOption json;
};

// Who answered: a running copy with its fields (copy, pid, folder, ...), or nobody, when this program sent itself.
struct Copy
{
    QJsonObject fields;
    bool self = false;
};

// A send asked for with vantiro-send's arguments (after the program's name), planned with a running copy's groups
// (as a list answer gives them); or why the arguments ask for something else, or for nothing that can be sent.
struct Sending
{
    Options options;
    PlannedSend plan;
};
std::variant<Sending, QString> sendingOf(const QJsonValue &arguments, const QJsonArray &groups);

// What vantiro-send prints, each line with its line feed, and its exit status.
struct Printed
{
    int exit = AllReached;
    QString out;
    QString err;
};

// The answer to a send: the line of each port not reached on standard error, then a summary on standard output,
// or one JSON object there.
Printed report(const PlannedSend &plan, const Options &options, const Copy &copy, const QJsonArray &ports);
// An error line as vantiro-send writes it, after the program's name.
QString errorLine(const QString &text);
// Said when --app-folder was given but a running copy sent with its own; empty otherwise.
QString ignoredFolderNote(const Options &options, const Copy &copy);

QString jsonText(const QJsonObject &fields);

} // namespace vantiro::send
