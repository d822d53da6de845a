#include "executor_rig.h"

#include <QMutexLocker>

using namespace Qt::StringLiterals;

namespace vantiro::test {

namespace {

const QString missingDevice = u"/dev/vantiro-test-no-such-device"_s;

// The real transport, noting how each display's line is set once the port is open: the pty
// driver takes back the program's settings when it closes the port.
class ObservingTransport : public SerialTransport
{
public:
    using Observe = std::function<void(const QString &device)>;

    explicit ObservingTransport(Observe observe)
        : m_real(makeSerialPortTransport())
        , m_observe(std::move(observe))
    {
    }
    SendOutcome::Status open(const PortConfig &config) override
    {
        const SendOutcome::Status status = m_real->open(config);
        if (status == SendOutcome::Status::Sent)
            m_observe(config.devicePath);
        return status;
    }
    bool write(char byte) override { return m_real->write(byte); }
    SendOutcome::Status drain() override { return m_real->drain(); }
    void close() override { m_real->close(); }
    QString errorText() const override { return m_real->errorText(); }

private:
    std::unique_ptr<SerialTransport> m_real;
    Observe m_observe;
};

} // namespace

StandInWindow::StandInWindow()
    : ports({ { u"COM"_s, u"COM"_s }, { u"LCD"_s, u"LCD"_s }, { u"Note"_s, u"Note"_s } })
    , modelList(u"LG"_s)
    , lineSettings { u"9600"_s, u"n"_s, u"8"_s, u"1"_s }
{
    for (int com = 1; com <= 40; ++com)
        comList.append(QString::number(com));
}

LineSettingsTexts StandInWindow::lineSettingsTexts() const
{
    if (onLineSettingsRead)
        onLineSettingsRead();
    return lineSettings;
}

void StandInWindow::lockEditingFrames()
{
    ++lockDepth;
    ++timesLocked;
}

void StandInWindow::addPort(int com, const QString &model)
{
    ports.appendRow({ QString::number(com), model, {} });
}

ExecutorRig::ExecutorRig(const QList<int> &displayComs, const QList<int> &missingComs)
{
    QByteArray ini = "[COM_PORTS]\r\n";
    for (int com : displayComs) {
        auto &pty = m_displays[com] = std::make_unique<Pty>();
        ini += QByteArray::number(com) + '=' + pty->devicePath().toLocal8Bit() + "\r\n";
    }
    for (int com : missingComs)
        ini += QByteArray::number(com) + '=' + missingDevice.toLocal8Bit() + "\r\n";
    folder.writeFile(u"Ports.ini"_s, ini);

    commands = ModelCommandSet::initial();
    chooseDisplayModel(commands, u"LG");

    auto observe = [this](const QString &device) {
        for (const auto &[com, pty] : m_displays) {
            if (pty->devicePath() != device)
                continue;
            const std::optional<TerminalState> state = pty->terminalState();
            QMutexLocker locker(&m_linesMutex);
            m_lines.append({ device, state.value_or(TerminalState {}), window.lockDepth });
        }
    };
    link = std::make_unique<SerialLink>(PortMap(folder.path()),
                                        [observe] { return std::make_unique<ObservingTransport>(observe); });
    executor = std::make_unique<EventExecutor>(window, handOff, commands,
                                               EventExecutor::Services { *link, statusLog, prompts, busyPointer });
}

ExecutorRig::~ExecutorRig()
{
    executor.reset();
    link.reset(); // before the ptys and the record it writes to
}

std::optional<LineSeen> ExecutorRig::lineSeen(int com) const
{
    const QString device = m_displays.at(com)->devicePath();
    QMutexLocker locker(&m_linesMutex);
    for (auto it = m_lines.crbegin(); it != m_lines.crend(); ++it) {
        if (it->device == device)
            return *it;
    }
    return std::nullopt;
}

QStringList ExecutorRig::logTexts() const
{
    QStringList texts;
    for (const QString &line : statusLog.lines())
        texts.append(line.section(u" - "_s, 1));
    return texts;
}

QStringList ExecutorRig::messageTexts() const
{
    QStringList texts;
    for (const PromptMessage &message : prompts.messages)
        texts.append(message.text);
    return texts;
}

} // namespace vantiro::test
