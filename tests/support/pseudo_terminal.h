#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace vantiro::test {

// The line settings of a terminal as the kernel holds them.
struct TerminalState
{
    quint32 baudRate = 0;
    bool rtsCts = false;
    bool xonXoff = false; // both IXON and IXOFF
};

// A pseudo-terminal standing in for a display on a serial line. The program opens the slave device
// as its port; the test reads what arrives on the master. The test keeps a slave descriptor open so
// the master does not read end-of-file when the program closes its end.
class Pty
{
public:
    Pty();
    ~Pty();
    Pty(const Pty &) = delete;
    Pty &operator=(const Pty &) = delete;

    bool isValid() const { return m_master >= 0; }
    QString devicePath() const { return m_slavePath; }
    int masterFd() const { return m_master; }

    // Reads until `count` bytes have arrived or the time is up.
    QByteArray read(int count, int timeoutMs = 3000);
    // Everything that arrives until the line has been quiet for `quietMs`.
    QByteArray readUntilQuiet(int quietMs = 100, int timeoutMs = 3000);
    // Sends bytes towards the program (the display "talking back", e.g. XOFF).
    void writeToProgram(const QByteArray &bytes);

    // Line settings read on the master, which sees those of the slave side.
    std::optional<TerminalState> terminalState() const;
    // Sets the speed of the line, so a test can tell when the program has set its own.
    bool setBaudRate(quint32 baud);

private:
    int m_master = -1;
    int m_slave = -1;
    QString m_slavePath;
};

} // namespace vantiro::test
