#pragma once

#include "pseudo_terminal.h"

#include <atomic>
#include <deque>
#include <map>
#include <memory>
#include <poll.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace vantiro::bench {

// Reads every pty master on a thread of its own, so that no send ever waits on a full line, and
// counts what arrived on each, numbered in the order of their COM numbers.
class Drain
{
public:
    explicit Drain(const std::map<int, std::unique_ptr<test::Pty>> &ptys)
        : m_counts(ptys.size())
    {
        for (const auto &[com, pty] : ptys)
            m_fds.push_back(pollfd { pty->masterFd(), POLLIN, 0 });
        m_thread = std::thread([this] { run(); });
    }
    ~Drain()
    {
        m_stop = true;
        m_thread.join();
    }
    Drain(const Drain &) = delete;
    Drain &operator=(const Drain &) = delete;

    long long bytes() const
    {
        long long total = 0;
        for (const auto &count : m_counts)
            total += count;
        return total;
    }
    long long bytes(std::size_t pty) const { return m_counts.at(pty); }

private:
    void run()
    {
        char buffer[4096];
        while (!m_stop) {
            if (::poll(m_fds.data(), m_fds.size(), 5) <= 0)
                continue;
            for (std::size_t i = 0; i < m_fds.size(); ++i) {
                if (m_fds[i].revents & POLLIN) {
                    const ssize_t n = ::read(m_fds[i].fd, buffer, sizeof buffer);
                    if (n > 0)
                        m_counts[i] += n;
                }
            }
        }
    }

    std::vector<pollfd> m_fds;
    std::deque<std::atomic<long long>> m_counts; // atomics cannot move, so no vector
    std::thread m_thread;
    std::atomic_bool m_stop = false;
};

} // namespace vantiro::bench
