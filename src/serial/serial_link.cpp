#include "serial_link.h"

#include "common/event_wait.h"
#include "serial/command_text.h"
#include "serial/network_address.h"
#include "serial/network_transport.h"
#include "serial/port_text.h"

#include <QPromise>
#include <QSet>

#include <chrono>
#include <thread>

#ifdef Q_OS_LINUX
#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace vantiro {

struct SerialLink::Job
{
    struct Port
    {
        PortConfig config;
        QString command;
        std::optional<SendOutcome> decided; // known without opening anything
    };
    QList<Port> ports;
    // Called on the link's thread: each port's start and outcome, then the end of the job.
    std::function<void(const PortProgress &)> report;
    std::function<void()> finish;
    // Whether the caller gave up waiting (the application quits): the ports not yet sent are not.
    std::function<bool()> cancelled;
};

namespace {

// Sleeps until shortly before `end` and waits out the rest awake: a sleeping thread wakes some tens
// of microseconds late, every port, and the pause is what a run of ports is made of.
void pauseUntil(std::chrono::steady_clock::time_point end)
{
    constexpr auto wakeMargin = std::chrono::microseconds(150);
    std::this_thread::sleep_until(end - wakeMargin);
    while (std::chrono::steady_clock::now() < end) { }
}

QString hostKey(const QString &host)
{
    return host.toLower();
}

// A port on a host that has already let a connection wait out its bound in this run fails at once:
// forty ports behind one dead server would otherwise cost the bound forty times. Only the host's
// silence counts: a refused connection says nothing about the server's other ports.
std::optional<SendOutcome> passedOver(const PortConfig &config, const QString &command,
                                      const QSet<QString> &unansweredHosts)
{
    if (unansweredHosts.isEmpty() || command.isEmpty() || !isNetworkAddress(config.devicePath))
        return std::nullopt;
    const std::optional<NetworkAddress> address = parseNetworkAddress(config.devicePath);
    if (!address || !unansweredHosts.contains(hostKey(address->host)))
        return std::nullopt;
    return SendOutcome { SendOutcome::Status::Unreachable, config.devicePath, 0, notTriedAgainText(address->host),
                         config.fromPortsFile };
}

} // namespace

SerialLink::SerialLink(PortMap portMap, QObject *parent)
    : SerialLink(std::move(portMap), makeTransportFor, parent)
{ }

SerialLink::SerialLink(PortMap portMap, TransportFactory makeTransport, QObject *parent)
    : QObject(parent)
    , m_portMap(std::move(portMap))
    , m_makeTransport(std::move(makeTransport))
{
    m_thread.setObjectName(QStringLiteral("SerialLink"));
    m_threadContext = new QObject;
    m_threadContext->moveToThread(&m_thread);
    connect(&m_thread, &QThread::finished, m_threadContext, &QObject::deleteLater);
    m_thread.start();
#ifdef Q_OS_LINUX
    // The settle pause is the one timing the displays see; keep the kernel from stretching it, and
    // let the thread, which sleeps nearly all the time, run as soon as it wakes on a busy machine.
    // A user whose limits allow no higher priority keeps the normal one.
    QMetaObject::invokeMethod(
        m_threadContext,
        [] {
            ::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
            ::setpriority(PRIO_PROCESS, id_t(::gettid()), -10);
        },
        Qt::QueuedConnection);
#endif
}

SerialLink::~SerialLink()
{
    m_closing = true;
    // Queued behind every waiting send: those are skipped, the transport goes on the thread that
    // used it, and the thread ends.
    QMetaObject::invokeMethod(
        m_threadContext,
        [this] {
            m_transport.reset();
            m_thread.quit();
        },
        Qt::QueuedConnection);
    m_thread.wait();
}

bool SerialLink::configurePort(const QString &lineSettings, const QString &portText, Handshaking handshaking)
{
    m_handshaking = handshaking;
    const std::optional<PortSettings> settings = parseLineSettings(lineSettings);
    const bool accepted = settings && platformSupports(*settings);
    if (accepted)
        m_settings = *settings;
    const std::optional<int> comNumber = comPortNumber(portText);
    m_hasPort = comNumber.has_value();
    if (comNumber)
        m_comNumber = *comNumber;
    return accepted;
}

QFuture<SendOutcome> SerialLink::startSend(const QString &command)
{
    auto promise = std::make_shared<QPromise<SendOutcome>>();
    promise->start();
    auto job = std::make_shared<Job>();
    m_portMap.refresh();
    Job::Port port { portConfig(), command, std::nullopt };
    if (!m_hasPort && !command.isEmpty())
        port.decided = SendOutcome { SendOutcome::Status::NotAComNumber, {}, 0, {}, false };
    job->ports.append(port);
    job->report = [promise](const PortProgress &progress) {
        if (progress.finished)
            promise->addResult(progress.outcome);
    };
    job->finish = [promise] {
        promise->finish();
    };
    job->cancelled = [promise] {
        return promise->isCanceled();
    };
    QFuture<SendOutcome> future = promise->future();
    queue(std::move(job));
    return future;
}

QFuture<PortProgress> SerialLink::startRun(const QList<PortSend> &sends, std::shared_ptr<const std::atomic_bool> stop)
{
    auto promise = std::make_shared<QPromise<PortProgress>>();
    promise->start();
    auto job = std::make_shared<Job>();
    // One look at Ports.ini for the whole run: each look may wait on a thread of its own.
    m_portMap.refresh();
    for (const PortSend &send : sends) {
        Job::Port port { {}, send.command, std::nullopt };
        const auto decided = [&](SendOutcome::Status status) {
            port.decided = SendOutcome { status, {}, 0, {}, false };
        };
        // A port text that names no port leaves the link set as it was.
        if (!comPortNumber(send.portText))
            decided(SendOutcome::Status::NotAComNumber);
        else if (!configurePort(send.lineSettings, send.portText, send.handshaking))
            decided(SendOutcome::Status::SettingsRejected);
        port.config = portConfig();
        if (port.decided) {
            port.decided->device = port.config.devicePath;
            port.decided->deviceFromPortsFile = port.config.fromPortsFile;
        }
        job->ports.append(port);
    }
    job->report = [promise](const PortProgress &progress) {
        promise->addResult(progress);
    };
    job->finish = [promise] {
        promise->finish();
    };
    job->cancelled = [promise, stop] {
        return promise->isCanceled() || (stop && stop->load());
    };
    QFuture<PortProgress> future = promise->future();
    queue(std::move(job));
    return future;
}

SendOutcome SerialLink::sendCommandText(const QString &command)
{
    const QFuture<SendOutcome> future = startSend(command);
    waitWhileEventsRun(future, OnQuit::WaitForOtherThread);
    if (future.resultCount() == 0)
        return SendOutcome { SendOutcome::Status::Cancelled, {}, 0, {}, false };
    return future.result();
}

void SerialLink::queue(std::shared_ptr<Job> job)
{
    QMetaObject::invokeMethod(
        m_threadContext, [this, job] { run(*job); }, Qt::QueuedConnection);
}

void SerialLink::run(Job &job)
{
    // What the caller is told is held back to the next port's settle pause, and told while the pause
    // runs: telling wakes the caller's thread, and on a busy machine that costs time the wire should
    // not wait for.
    QList<PortProgress> untold;
    const auto tell = [&] {
        for (const PortProgress &progress : std::as_const(untold))
            job.report(progress);
        untold.clear();
    };
    // A send whose transport ends it later (a connection to a serial device server) is ended during
    // the next port's settle pause, before that port is told as started, so the caller still hears
    // of the ports one after another.
    struct Unfinished
    {
        int index = 0;
        SendOutcome outcome;
        std::unique_ptr<SerialTransport> transport;
    };
    std::optional<Unfinished> unfinished;
    QSet<QString> unansweredHosts;
    const auto finishPrevious = [&] {
        if (!unfinished)
            return;
        SendOutcome outcome = unfinished->outcome;
        const SendOutcome::Status status = unfinished->transport->finish();
        if (status != SendOutcome::Status::Sent) {
            outcome.status = status;
            outcome.detail = unfinished->transport->errorText();
        }
        unfinished->transport->close();
        untold.append({ unfinished->index, true, outcome });
        unfinished.reset();
    };

    for (int index = 0; index < job.ports.size(); ++index) {
        const Job::Port &port = job.ports.at(index);
        const bool dropped = m_closing || job.cancelled();
        const std::optional<SendOutcome> decided
            = port.decided ? port.decided : passedOver(port.config, port.command, unansweredHosts);
        // A port told at once comes after the one before it; a server's port takes one connection
        // at a time.
        if (dropped || decided || (unfinished && unfinished->outcome.device == port.config.devicePath))
            finishPrevious();
        if (dropped) {
            untold.append(
                { index, true,
                  SendOutcome {
                      SendOutcome::Status::Cancelled, port.config.devicePath, 0, {}, port.config.fromPortsFile } });
            continue;
        }
        if (decided) {
            untold.append({ index, false, {} });
            untold.append({ index, true, *decided });
            continue;
        }
        bool startTold = false;
        // A server's port may keep the connection waiting up to its bound: the caller hears first
        // which port the link is at, and how the ones before it went. After a server's send that is
        // still to be finished, the start waits for the settle pause, to keep the order.
        if (!unfinished && !port.command.isEmpty() && isNetworkAddress(port.config.devicePath)) {
            untold.append({ index, false, {} });
            startTold = true;
            tell();
        }
        const auto whileSettling = [&] {
            finishPrevious();
            if (!startTold)
                untold.append({ index, false, {} });
            startTold = true;
            tell();
        };
        const SendOutcome outcome = transmit(port.config, port.command, whileSettling);
        if (m_transport) {
            if (const std::optional<QString> host = m_transport->unansweredHost())
                unansweredHosts.insert(hostKey(*host));
        }
        if (!startTold) {
            finishPrevious();
            untold.append({ index, false, {} });
        }
        if (!outcome.failed() && m_transport && m_transport->finishesLater()) {
            unfinished = Unfinished { index, outcome, std::move(m_transport) };
            continue;
        }
        untold.append({ index, true, outcome });
        closePort();
    }
    finishPrevious();
    tell();
    job.finish();
}

// Opens the port, lets it settle, writes the command byte by byte and waits until every byte has
// left the machine. The port is left for closePort. `whileSettling` runs during the pause after
// the port is opened, which it does not lengthen unless it takes longer than the pause.
SendOutcome SerialLink::transmit(const PortConfig &config, const QString &command,
                                 const std::function<void()> &whileSettling)
{
    SendOutcome outcome { SendOutcome::Status::NothingToSend, config.devicePath, 0, {}, config.fromPortsFile };
    if (command.isEmpty())
        return outcome;

    // Each send gets the transport that serves its port: a device path and a network address are
    // reached differently.
    m_transport = m_makeTransport(config);
    // A port that could not be opened gets no pause: there is nothing to wait for.
    outcome.status = transport().open(config);
    if (outcome.status != SendOutcome::Status::Sent) {
        outcome.detail = transport().errorText();
        return outcome;
    }
    const auto settled = std::chrono::steady_clock::now() + std::chrono::milliseconds(settleTimeMs);
    whileSettling();
    pauseUntil(settled);

    // Tokens that are not a byte value write nothing; the port is still opened for them.
    for (const char byte : parseCommandText(command)) {
        if (!transport().write(byte)) {
            outcome.status = SendOutcome::Status::WriteFailed;
            outcome.detail = transport().errorText();
            return outcome;
        }
        ++outcome.bytesWritten;
    }
    outcome.status = transport().drain();
    if (outcome.failed())
        outcome.detail = transport().errorText();
    else if (outcome.bytesWritten == 0)
        outcome.status = SendOutcome::Status::NothingToSend;
    return outcome;
}

PortConfig SerialLink::portConfig() const
{
    return PortConfig { m_portMap.lastReadDevicePath(m_comNumber), m_settings, m_handshaking,
                        m_portMap.lastReadHasEntry(m_comNumber) };
}

void SerialLink::closePort()
{
    if (m_transport)
        m_transport->close();
    m_transport.reset();
}

SerialTransport &SerialLink::transport()
{
    return *m_transport;
}

} // namespace vantiro
