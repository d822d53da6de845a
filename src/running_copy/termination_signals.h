#pragma once

#include <QObject>

class QSocketNotifier;

namespace vantiro {

// SIGTERM and SIGINT delivered as a Qt signal on the event loop, so the program can end the way it chooses (the
// send on the wire finished first) instead of dying at once. The handler only writes the signal's number to a pipe
// that the event loop reads. One object at a time; the signals' previous handling is restored when it goes.
class TerminationSignals : public QObject
{
    Q_OBJECT

public:
    explicit TerminationSignals(QObject *parent = nullptr);
    ~TerminationSignals() override;

    // False when the signals could not be caught (they then end the program as by default).
    bool isActive() const { return m_notifier != nullptr; }

signals:
    void received(int signalNumber);

private:
    void readPipe();

    QSocketNotifier *m_notifier = nullptr;
};

// "SIGTERM", "SIGINT".
const char *terminationSignalName(int signalNumber);

} // namespace vantiro
