#pragma once

#include "display_decoder.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <cerrno>
#include <thread>

namespace vantiro::displays {

// A virtual display on a pseudo-terminal. Vantiro opens the slave device as its serial port; the
// display reads the master, decodes what arrives and reports one line per command. It keeps its own
// slave descriptor open, so the master never reads end-of-file when Vantiro closes the port.
// The line is read on a thread of its own, which learns each speed as the port is opened: the event
// loop may be too busy for that, and the bytes are decoded there later with the speed they came at.
class PtyDisplay : public QObject
{
    Q_OBJECT

public:
    explicit PtyDisplay(int comNumber, QObject *parent = nullptr);
    ~PtyDisplay() override;

    bool open();
    QString errorText() const { return m_error; }
    int comNumber() const { return m_comNumber; }
    QString devicePath() const { return m_devicePath; }

    // Bytes that fit no command are reported once the line has been quiet this long.
    static constexpr int quietTimeMs = 100;

signals:
    void commandReceived(const QString &line);
    void failed(const QString &error);

private:
    bool fail(const QString &what, int error = errno);
    bool prepareLine();
    // On the reading thread.
    void watchLine();
    bool readMaster();
    void lineSettingsChanged();
    void bytesRead(QByteArrayView bytes);
    void refreshBaudRate();
    int bytesQueued() const;
    // On the display's own thread.
    void decode(const QByteArray &bytes, quint32 baudRate);
    void lineQuiet();
    void report(const QStringList &lines);

    int m_comNumber;
    int m_master = -1;
    int m_slave = -1;
    QString m_devicePath;
    QString m_error;
    DisplayDecoder m_decoder;
    QTimer m_quietTimer;
    // Owned by the reading thread once it runs.
    quint32 m_baudRate = 0; // of the bytes that arrive now
    quint32 m_idleBaudRate = 0; // while no port is open
    bool m_reportsChanges = false;
    bool m_keepBaudRate = false; // the queued bytes arrived before the last change of speed
    int m_wakePipe[2] = { -1, -1 }; // written to end the reading thread
    std::thread m_reader;
};

} // namespace vantiro::displays
