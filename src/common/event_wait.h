#pragma once

#include <QEventLoop>
#include <QFuture>
#include <QFutureWatcher>

#include <functional>

namespace vantiro {

// What a wait does when the application quits, which ends every event loop at once.
enum class OnQuit {
    // Cancels the future and waits on until the other thread that finishes it has ended the step it
    // is in, so nothing is left half done.
    WaitForOtherThread,
    // Returns at once: the future may be one that only this thread's events would finish.
    Return,
};

// Waits until `future` finishes while the caller's event loop keeps running, so timers fire and the
// window repaints and answers meanwhile. `onResults(begin, end)` is handed each new batch of results,
// in order, as they arrive.
template<typename T>
void waitWhileEventsRun(const QFuture<T> &future, OnQuit onQuit,
                        const std::function<void(int begin, int end)> &onResults = {})
{
    int delivered = 0;
    const auto deliver = [&] {
        const int available = future.resultCount();
        if (available > delivered && onResults) {
            const int begin = delivered;
            delivered = available;
            onResults(begin, available);
        }
        delivered = available;
    };
    if (!future.isFinished()) {
        QFutureWatcher<T> watcher;
        QEventLoop loop;
        QObject::connect(&watcher, &QFutureWatcherBase::resultsReadyAt, &loop, deliver);
        QObject::connect(&watcher, &QFutureWatcherBase::finished, &loop, &QEventLoop::quit);
        watcher.setFuture(future);
        if (!future.isFinished())
            loop.exec();
    }
    if (onQuit == OnQuit::WaitForOtherThread && !future.isFinished()) {
        QFuture<T> left(future);
        left.cancel();
        left.waitForFinished();
    }
    deliver();
}

} // namespace vantiro
