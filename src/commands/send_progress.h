#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <atomic>
#include <memory>

namespace vantiro {

// What a send in progress shows the operator, and the operator's way to stop it. A send that is over
// within a second shows nothing; a longer one shows which port it is at ("Sending to COM 12 (12 of
// 40)...") until it ends. Stopping ends the send after the port being sent, never in the middle of a
// command: the sender asks stopRequested() between ports, or hands stopFlag() to the link, whose
// thread reads it between ports.
class SendProgress : public QObject
{
    Q_OBJECT

public:
    explicit SendProgress(QObject *parent = nullptr);

    // The sender's side, on the thread the object lives on. begin() starts a new send with a stop
    // flag of its own, so a Stop meant for one send never reaches the next one.
    void begin(int portCount);
    // `position` counts from 1; `portText` is what follows "COM".
    void reachPort(int position, const QString &portText);
    void end();

    // The operator's side.
    bool isShown() const { return m_shown; }
    QString text() const;
    bool isSending() const { return m_sending; }
    // Does nothing while no send runs. The flag it sets may be read on any thread.
    void requestStop();
    bool stopRequested() const { return m_stop->load(); }
    std::shared_ptr<const std::atomic_bool> stopFlag() const { return m_stop; }

    static constexpr int showAfterMs = 1000;

signals:
    // Shown or hidden, or the text changed.
    void changed();

private:
    void show();

    QTimer m_showTimer;
    std::shared_ptr<std::atomic_bool> m_stop;
    bool m_sending = false;
    bool m_shown = false;
    int m_position = 0;
    int m_portCount = 0;
    QString m_portText;
};

// "Sending to COM 12 (12 of 40)...".
QString sendingText(const QString &portText, int position, int portCount);

// Why a port was not sent to after the operator stopped the send.
QString stoppedByUserText();
// "Not sent to COM 13-40: stopped by the user": the ports a stopped send left out, in COM order,
// neighbours as a range, port texts that name no COM port last.
QString stoppedPortsLine(const QStringList &portTexts);

} // namespace vantiro
