// vantiro-displays: virtual displays on pseudo-terminals, for trying Vantiro without hardware and
// for watching the wire in end-to-end tests.
#include "app/app_folder.h"
#include "app/version.h"
#include "common/console_text.h"
#include "network_display.h"
#include "ports_file.h"
#include "pty_display.h"
#include "stop_signals.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>

#include <cstdio>
#include <memory>
#include <optional>
#include <vector>

using namespace Qt::StringLiterals;
using namespace vantiro::displays;

namespace {

constexpr int maxDisplays = 99;

struct Options
{
    int displays = 4;
    int firstCom = 1;
    QString appFolder;
    bool restoreOnly = false;
    std::optional<quint16> listenPort; // serve the displays over RFC 2217 from this port on
};

// Each line goes out at once, so that a reader on a pipe sees every command as it arrives.
void printLine(std::FILE *stream, const QString &line)
{
    vantiro::printBytes(stream, line.toUtf8() + '\n');
}

std::optional<int> numberIn(const QString &text, int lowest, int highest)
{
    bool ok = false;
    const int number = text.toInt(&ok);
    if (!ok || number < lowest || number > highest)
        return std::nullopt;
    return number;
}

std::optional<Options> parseOptions(const QCoreApplication &app)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        u"Virtual displays for trying Vantiro without hardware.\n\n"
        "Creates pseudo-terminals that stand in for displays on COM ports and points those COM numbers at\n"
        "them in the Ports.ini of Vantiro's application folder, keeping the file's other entries. Prints\n"
        "one line per display (\"COM3 -> /dev/pts/7\"), then one line per command a display receives:\n"
        "port, line speed, model, the command, its meaning and the display state it set, e.g.\n"
        "  COM3 9600 LG \"ka 01 01\" power on -> power=on\n"
        "Bytes that fit no command are shown in hex once the line has been quiet for 100 ms.\n"
        "With --listen PORT the displays sit behind a serial device server instead: each listens on a\n"
        "loopback TCP port of its own (PORT, PORT+1, ...; 0 for any free ones) and speaks RFC 2217, and\n"
        "Ports.ini names them as rfc2217://127.0.0.1:PORT (\"COM3 -> rfc2217://127.0.0.1:4003\").\n"
        "Ctrl+C (SIGINT), SIGTERM or SIGHUP puts Ports.ini back as it was, or removes it if there was none.\n"
        "Until then the original is kept beside it as Ports.ini.before-displays; a run that was killed is\n"
        "put back by the next run, or by --restore."_s);
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption displaysOption(u"displays"_s, u"Number of virtual displays, 1 to 99 (default 4)."_s,
                                            u"N"_s, u"4"_s);
    const QCommandLineOption firstComOption(
        u"first-com"_s, u"COM number of the first display (default 1); the others follow it."_s, u"K"_s, u"1"_s);
    const QCommandLineOption folderOption(
        u"app-folder"_s,
        u"Vantiro's application folder, where Ports.ini is written. Default: the folder of this program, "
        "which is the folder of the Vantiro built with it (build/release/bin after scripts/run)."_s,
        u"DIR"_s);
    const QCommandLineOption restoreOption(
        u"restore"_s, u"Only put back a Ports.ini that an earlier run left changed (killed), then end."_s);
    const QCommandLineOption listenOption(
        u"listen"_s, u"Serve the displays over RFC 2217 on loopback TCP ports from PORT on (0: any free ones)."_s,
        u"PORT"_s);
    parser.addOptions({ displaysOption, firstComOption, folderOption, restoreOption, listenOption });
    parser.process(app);

    if (!parser.positionalArguments().isEmpty()) {
        printLine(stderr, u"vantiro-displays: unexpected argument "_s + parser.positionalArguments().constFirst());
        return std::nullopt;
    }
    Options options;
    const auto displays = numberIn(parser.value(displaysOption), 1, maxDisplays);
    if (!displays) {
        printLine(stderr, u"vantiro-displays: --displays takes a number from 1 to %1"_s.arg(maxDisplays));
        return std::nullopt;
    }
    options.displays = *displays;
    // Vantiro reads COM numbers up to 32767.
    const auto firstCom = numberIn(parser.value(firstComOption), 1, 32768 - options.displays);
    if (!firstCom) {
        printLine(stderr, u"vantiro-displays: --first-com takes a number from 1 to %1"_s.arg(32768 - options.displays));
        return std::nullopt;
    }
    options.firstCom = *firstCom;
    options.restoreOnly = parser.isSet(restoreOption);
    if (parser.isSet(listenOption)) {
        const auto port = numberIn(parser.value(listenOption), 0, 65536 - options.displays);
        if (!port) {
            printLine(stderr, u"vantiro-displays: --listen takes a port from 0 to %1"_s.arg(65536 - options.displays));
            return std::nullopt;
        }
        options.listenPort = quint16(*port);
    }
    // Where Vantiro built or installed beside this program keeps its files.
    options.appFolder = parser.isSet(folderOption)
        ? parser.value(folderOption)
        : vantiro::chooseApplicationFolder(QCoreApplication::applicationDirPath()).path;
    if (!QFileInfo(options.appFolder).isDir()) {
        printLine(stderr, u"vantiro-displays: no such folder: "_s + options.appFolder);
        return std::nullopt;
    }
    return options;
}

std::vector<std::unique_ptr<PtyDisplay>> openDisplays(const Options &options)
{
    std::vector<std::unique_ptr<PtyDisplay>> displays;
    for (int i = 0; i < options.displays; ++i) {
        auto display = std::make_unique<PtyDisplay>(options.firstCom + i);
        if (!display->open()) {
            printLine(stderr, u"vantiro-displays: "_s + display->errorText());
            return {};
        }
        displays.push_back(std::move(display));
    }
    return displays;
}

std::vector<std::unique_ptr<NetworkDisplay>> openNetworkDisplays(const Options &options)
{
    std::vector<std::unique_ptr<NetworkDisplay>> displays;
    for (int i = 0; i < options.displays; ++i) {
        auto display = std::make_unique<NetworkDisplay>(options.firstCom + i);
        if (!display->listen(*options.listenPort == 0 ? 0 : quint16(*options.listenPort + i))) {
            printLine(stderr, u"vantiro-displays: "_s + display->errorText());
            return {};
        }
        displays.push_back(std::move(display));
    }
    return displays;
}

void printEverythingReceived(const std::vector<std::unique_ptr<NetworkDisplay>> &displays, QCoreApplication &app)
{
    for (const auto &display : displays)
        QObject::connect(display.get(), &NetworkDisplay::commandReceived, &app,
                         [](const QString &line) { printLine(stdout, line); });
}

void printEverythingReceived(const std::vector<std::unique_ptr<PtyDisplay>> &displays, QCoreApplication &app)
{
    for (const auto &display : displays) {
        QObject::connect(display.get(), &PtyDisplay::commandReceived, &app,
                         [](const QString &line) { printLine(stdout, line); });
        QObject::connect(display.get(), &PtyDisplay::failed, &app,
                         [](const QString &error) { printLine(stderr, u"vantiro-displays: "_s + error); });
    }
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(u"vantiro-displays"_s);
    QCoreApplication::setApplicationVersion(vantiro::packageVersion());

    const auto options = parseOptions(app);
    if (!options)
        return 2;

    PortsFileOverride portsFile(options->appFolder);
    if (const vantiro::SaveResult claimed = portsFile.claim(); !claimed) {
        printLine(stderr, u"vantiro-displays: "_s + claimed.error);
        return 1;
    }
    // A run that was killed left the displays' entries in place; they may point at other terminals now.
    if (portsFile.isLeftOver()) {
        if (const vantiro::SaveResult restored = portsFile.restore(); !restored) {
            printLine(stderr, u"vantiro-displays: "_s + restored.error);
            return 1;
        }
        printLine(stderr,
                  u"vantiro-displays: put back "_s + portsFile.filePath() + u", left changed by an earlier run"_s);
    }
    if (options->restoreOnly)
        return 0;

    // Before Ports.ini changes, so that a stop at any moment from here on puts it back.
    StopSignals stopSignals;
    if (!stopSignals.isValid()) {
        printLine(stderr, u"vantiro-displays: cannot catch stop signals"_s);
        return 1;
    }
    QObject::connect(&stopSignals, &StopSignals::stopRequested, &app, &QCoreApplication::quit);

    // One kind or the other, by what was asked.
    std::vector<std::unique_ptr<PtyDisplay>> ptyDisplays;
    std::vector<std::unique_ptr<NetworkDisplay>> networkDisplays;
    QList<std::pair<int, QString>> devices;
    if (options->listenPort) {
        networkDisplays = openNetworkDisplays(*options);
        for (const auto &display : networkDisplays)
            devices.append({ display->comNumber(), display->address() });
    } else {
        ptyDisplays = openDisplays(*options);
        for (const auto &display : ptyDisplays)
            devices.append({ display->comNumber(), display->devicePath() });
    }
    if (devices.isEmpty())
        return 1;
    if (const vantiro::SaveResult saved = portsFile.install(devices); !saved) {
        printLine(stderr, u"vantiro-displays: "_s + saved.error);
        // The user's file is unchanged; what remains is to drop the copy kept beside it.
        if (const vantiro::SaveResult restored = portsFile.restore(); !restored)
            printLine(stderr, u"vantiro-displays: "_s + restored.error);
        return 1;
    }

    printEverythingReceived(ptyDisplays, app);
    printEverythingReceived(networkDisplays, app);
    for (const auto &[comNumber, device] : devices)
        printLine(stdout, u"COM"_s + QString::number(comNumber) + u" -> "_s + device);
    printLine(stderr,
              u"vantiro-displays: "_s + portsFile.filePath()
                  + u" points at the displays; stop with Ctrl+C to put it back."_s);

    const int status = app.exec();
    if (const vantiro::SaveResult restored = portsFile.restore(); !restored) {
        printLine(stderr, u"vantiro-displays: "_s + restored.error);
        return 1;
    }
    return status;
}
