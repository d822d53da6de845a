#pragma once

#include <QObject>

class QSocketNotifier;

namespace vantiro::displays {

// Turns SIGINT, SIGTERM and SIGHUP into a Qt signal, so that the program can put Ports.ini back
// before it ends. One per process.
class StopSignals : public QObject
{
    Q_OBJECT

public:
    explicit StopSignals(QObject *parent = nullptr);
    ~StopSignals() override;

    bool isValid() const { return m_notifier != nullptr; }

signals:
    void stopRequested();

private:
    void wakeUp();

    QSocketNotifier *m_notifier = nullptr;
};

} // namespace vantiro::displays
