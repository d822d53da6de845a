#pragma once

#include <QEventLoop>
#include <QFuture>
#include <QFutureWatcher>

#include <functional>

namespace vantiro {

// Waits until `future` finishes while the caller's event loop keeps running, so timers fire and the
// window repaints and answers meanwhile. `onResults(begin, end)` is handed each new batch of results,
// in order, as they arrive. The application quitting ends every event loop at once; the wait then
// still lasts until the future has finished, so no result is lost.
template<typename T>
void waitWhileEventsRun(const QFuture<T> &future, const std::function<void(int begin, int end)> &onResults = {})
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
    QFuture<T>(future).waitForFinished();
    deliver();
}

} // namespace vantiro
