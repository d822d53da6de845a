#include "unanswered_port.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace vantiro::test {

namespace {

sockaddr_in addressOf(int fd)
{
    sockaddr_in address {};
    socklen_t size = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &size);
    return address;
}

} // namespace

UnansweredPort::UnansweredPort(const char *host)
{
    sockaddr_in address {};
    address.sin_family = AF_INET;
    ::inet_pton(AF_INET, host, &address.sin_addr);
    m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_listener < 0 || ::bind(m_listener, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0
        || ::listen(m_listener, 0) != 0) {
        if (m_listener >= 0)
            ::close(m_listener);
        m_listener = -1;
        return;
    }
    const sockaddr_in bound = addressOf(m_listener);
    for (int &filler : m_fillers) {
        filler = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        ::connect(filler, reinterpret_cast<const sockaddr *>(&bound), sizeof bound);
    }
}

UnansweredPort::~UnansweredPort()
{
    for (const int filler : m_fillers) {
        if (filler >= 0)
            ::close(filler);
    }
    if (m_listener >= 0)
        ::close(m_listener);
}

quint16 UnansweredPort::port() const
{
    return m_listener < 0 ? 0 : ntohs(addressOf(m_listener).sin_port);
}

} // namespace vantiro::test
