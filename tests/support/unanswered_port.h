#pragma once

#include <QtGlobal>

namespace vantiro::test {

// A loopback port that listens but never takes a connection: its queue is kept full, so the system
// lets every further connection wait unanswered, as a serial device server that has hung does.
class UnansweredPort
{
public:
    // `host` is a loopback address such as "127.0.0.2".
    explicit UnansweredPort(const char *host);
    ~UnansweredPort();
    UnansweredPort(const UnansweredPort &) = delete;
    UnansweredPort &operator=(const UnansweredPort &) = delete;

    // 0 when no port could be had.
    quint16 port() const;

private:
    int m_listener = -1;
    int m_fillers[3] = { -1, -1, -1 };
};

} // namespace vantiro::test
