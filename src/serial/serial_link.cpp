#include "serial_link.h"

#include "serial/command_text.h"
#include "serial/port_text.h"

#include <QEventLoop>
#include <QFutureWatcher>
#include <QPromise>

#ifdef Q_OS_LINUX
#include <sys/prctl.h>
#endif

namespace vantiro {

struct SerialLink::Job
{
    PortConfig config;
    QString command;
    QPromise<SendOutcome> promise;
};

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
    // The settle pause is the one timing the displays see; keep the kernel from stretching it.
    QMetaObject::invokeMethod(
        m_threadContext, [] { ::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL); }, Qt::QueuedConnection);
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
    if (!m_hasPort && !command.isEmpty()) {
        QPromise<SendOutcome> refused;
        refused.start();
        refused.addResult(SendOutcome { SendOutcome::Status::NotAComNumber, {}, 0, {} });
        refused.finish();
        return refused.future();
    }
    auto job = std::make_shared<Job>();
    job->config = PortConfig { devicePath(), m_settings, m_handshaking };
    job->command = command;
    job->promise.start();
    QFuture<SendOutcome> future = job->promise.future();
    QMetaObject::invokeMethod(
        m_threadContext,
        [this, job] {
            if (m_closing) {
                job->promise.addResult(SendOutcome { SendOutcome::Status::Cancelled, job->config.devicePath, 0, {} });
                job->promise.finish();
                return;
            }
            run(*job);
        },
        Qt::QueuedConnection);
    return future;
}

SendOutcome SerialLink::sendCommandText(const QString &command)
{
    QFuture<SendOutcome> future = startSend(command);
    if (!future.isFinished()) {
        QFutureWatcher<SendOutcome> watcher;
        QEventLoop loop;
        connect(&watcher, &QFutureWatcherBase::finished, &loop, &QEventLoop::quit);
        watcher.setFuture(future);
        loop.exec();
        // The application quitting ends every event loop at once; the outcome is still the true one.
        future.waitForFinished();
    }
    if (future.resultCount() == 0)
        return SendOutcome { SendOutcome::Status::Cancelled, {}, 0, {} };
    return future.result();
}

void SerialLink::run(Job &job)
{
    const SendOutcome outcome = transmit(job);
    job.promise.addResult(outcome);
    job.promise.finish();
    // The outcome is final once the bytes have left, so the caller hears it while the port closes;
    // the next send still starts only after the close.
    closePort();
}

// Opens the port, lets it settle, writes the command byte by byte and waits until every byte has
// left the machine. The port is left for closePort.
SendOutcome SerialLink::transmit(const Job &job)
{
    SendOutcome outcome { SendOutcome::Status::NothingToSend, job.config.devicePath, 0, {} };
    if (job.command.isEmpty())
        return outcome;

    // Each send gets the transport that serves its port: a device path and a network address are
    // reached differently.
    m_transport = m_makeTransport(job.config);
    outcome.status = openPort(job.config);
    if (outcome.status != SendOutcome::Status::Sent) {
        outcome.detail = transport().errorText();
        return outcome;
    }
    // Tokens that are not a byte value write nothing; the port is still opened for them.
    for (const char byte : parseCommandText(job.command)) {
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

// Opens the port and gives the device time to settle before the first byte. A port that could not
// be opened gets no pause: there is nothing to wait for.
SendOutcome::Status SerialLink::openPort(const PortConfig &config)
{
    const SendOutcome::Status status = transport().open(config);
    if (status == SendOutcome::Status::Sent)
        QThread::msleep(settleTimeMs);
    return status;
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
