#pragma once

#include "serial/port_map.h"
#include "serial/serial_transport.h"

#include <QFuture>
#include <QObject>
#include <QThread>

#include <atomic>
#include <functional>
#include <memory>

namespace vantiro {

// One port of a run: where to, at what line settings, and what.
struct PortSend
{
    QString portText;
    QString lineSettings;
    Handshaking handshaking = Handshaking::None;
    QString command;
};

// What the link tells of a run while it goes: each port's send starting, then its outcome.
struct PortProgress
{
    int index = 0; // into the run's list of ports
    bool finished = false;
    SendOutcome outcome; // once finished
};

// The one place where the program touches a serial port. Callers configure the link (line settings,
// port text, handshaking) and then send a command text: the port is opened, given 20 ms to settle,
// written byte by byte and closed again once every byte has left the machine. Nothing is read back.
//
// The blocking part of a send runs on the link's own thread, so the window never waits for a port.
// Sends on one link run one after another in the order they were requested (each with the
// configuration in force when it was requested) and never interleave. The link shows no message
// and never stops the program; each send reports its outcome to the caller.
class SerialLink : public QObject
{
    Q_OBJECT

public:
    using TransportFactory = std::function<std::unique_ptr<SerialTransport>(const PortConfig &)>;

    explicit SerialLink(PortMap portMap, QObject *parent = nullptr);
    SerialLink(PortMap portMap, TransportFactory makeTransport, QObject *parent = nullptr);
    // Finishes the send in progress; sends still waiting their turn are cancelled.
    ~SerialLink() override;

    // Sets handshaking, line settings and port, in that order. A line settings text the port cannot
    // take leaves the previous settings in force (and returns false). A port text that is not a COM
    // number (1 to 255) names no port: sends fail as "not a COM number" until a port is set again,
    // rather than going to the display sent to before.
    bool configurePort(const QString &lineSettings, const QString &portText,
                       Handshaking handshaking = Handshaking::None);

    // Queues the command and returns at once. The empty text sends nothing and never opens the port.
    QFuture<SendOutcome> startSend(const QString &command);
    // Sends and returns the outcome; the caller's event loop keeps running meanwhile.
    SendOutcome sendCommandText(const QString &command);

    // Sends to several ports as one job on the link's thread, in the list's order and each as
    // startSend would (configured with configurePort semantics, which leaves the link set to the last
    // port named). The future's results are each port's start and then its outcome, as they happen.
    // A port text that names no port gets "not a COM number" and settings the port cannot take
    // "settings rejected", without opening anything. A serial device server's host that gave no
    // connection within its bound is not tried again in the run: its later ports fail at once ("not
    // tried again in this send"). Cancelling the future ends the run after the port being sent; so
    // does setting `stop`, read on the link's thread between ports, which still tells the ports left
    // out (as cancelled).
    QFuture<PortProgress> startRun(const QList<PortSend> &sends, std::shared_ptr<const std::atomic_bool> stop = {});

    // The COM port last set; whether the last port text named one.
    int comNumber() const { return m_comNumber; }
    bool hasPort() const { return m_hasPort; }
    QString devicePath() const { return m_portMap.devicePath(m_comNumber); }
    PortSettings settings() const { return m_settings; }
    Handshaking handshaking() const { return m_handshaking; }

    static constexpr int settleTimeMs = 20;

private:
    struct Job;

    // The port last set, as Ports.ini was last read.
    PortConfig portConfig() const;
    void queue(std::shared_ptr<Job> job);
    // These run on the link's thread only.
    void run(Job &job);
    SendOutcome transmit(const PortConfig &config, const QString &command, const std::function<void()> &whileSettling);
    void closePort();
    SerialTransport &transport();

    PortMap m_portMap;
    TransportFactory m_makeTransport;
    int m_comNumber = 1;
    bool m_hasPort = true;
    PortSettings m_settings;
    Handshaking m_handshaking = Handshaking::None;

    QThread m_thread;
    QObject *m_threadContext = nullptr; // lives on m_thread; owns nothing
    std::unique_ptr<SerialTransport> m_transport; // created, used and destroyed on m_thread
    std::atomic_bool m_closing = false;
};

} // namespace vantiro
