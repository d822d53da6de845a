#include "executor_rig.h"

#include <QMutexLocker>

#include <functional>

using namespace Qt::StringLiterals;

namespace vantiro::test {

namespace {

// The real transport, calling back once a port is open: the pty driver takes back the program's
// line settings when the port is closed, so they can only be seen in between.
class ObservingTransport : public SerialTransport
{
public:
    using Observe = std::function<void(const QString &device)>;

    ObservingTransport(std::unique_ptr<SerialTransport> real, Observe observeOpen, Observe observeDrain)
        : m_real(std::move(real))
        , m_observeOpen(std::move(observeOpen))
        , m_observeDrain(std::move(observeDrain))
    { }
    SendOutcome::Status open(const PortConfig &config) override
    {
        const SendOutcome::Status status = m_real->open(config);
        if (status == SendOutcome::Status::Sent) {
            m_device = config.devicePath;
            m_observeOpen(config.devicePath);
        }
        return status;
    }
    bool write(char byte) override { return m_real->write(byte); }
    SendOutcome::Status drain() override
    {
        m_observeDrain(m_device);
        return m_real->drain();
    }
    bool finishesLater() const override { return m_real->finishesLater(); }
    SendOutcome::Status finish() override { return m_real->finish(); }
    void close() override { m_real->close(); }
    QString errorText() const override { return m_real->errorText(); }
    std::optional<QString> unansweredHost() const override { return m_real->unansweredHost(); }

private:
    std::unique_ptr<SerialTransport> m_real;
    Observe m_observeOpen;
    Observe m_observeDrain;
    QString m_device;
};

} // namespace

StandInWindow::StandInWindow()
{
    snapshot.modelListText = u"LG"_s;
    for (int com = 1; com <= 40; ++com)
        snapshot.comPortItems.append(QString::number(com));
    snapshot.lineSettings = { u"9600"_s, u"n"_s, u"8"_s, u"1"_s };
}

ExecutorRig::ExecutorRig(const QList<int> &displayComs, const QList<int> &missingComs)
    : displays(folder, displayComs, missingComs)
{
    commands = ModelCommandSet::initial();
    chooseDisplayModel(commands, u"LG");

    // Runs on the link's thread.
    auto observe = [this](const QString &device) {
        for (const auto &[com, pty] : displays.all()) {
            if (pty->devicePath() != device)
                continue;
            const TerminalState state = pty->terminalState().value_or(TerminalState {});
            {
                QMutexLocker locker(&m_linesMutex);
                m_linesSeen[com] = state;
            }
            if (onOpen)
                onOpen(com);
        }
    };
    auto drain = [this](const QString &device) {
        for (const auto &[com, pty] : displays.all()) {
            if (pty->devicePath() == device && onDrain)
                onDrain(com);
        }
    };
    link = std::make_unique<SerialLink>(PortMap(folder.path()), [observe, drain](const PortConfig &config) {
        return std::make_unique<ObservingTransport>(makeTransportFor(config), observe, drain);
    });
    executor = std::make_unique<EventExecutor>(window, commands,
                                               EventExecutor::Services { *link, statusLog, prompts, busyPointer });
}

ExecutorRig::~ExecutorRig()
{
    executor.reset();
    link.reset(); // before the ptys and the record it writes to
}

QFuture<CommandReport> ExecutorRig::send(const CommandHandOff &handOff, CommandDispatch::Timing timing)
{
    return executor->dispatch({ handOff, window.sendSnapshot() }, timing);
}

std::optional<TerminalState> ExecutorRig::lineSeen(int com) const
{
    QMutexLocker locker(&m_linesMutex);
    const auto seen = m_linesSeen.find(com);
    return seen == m_linesSeen.end() ? std::nullopt : std::optional(seen->second);
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
