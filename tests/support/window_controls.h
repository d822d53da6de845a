#pragma once

#include <QObject>
#include <QString>

namespace vantiro::test {

// The control of a window by its objectName; a missing one ends the test run with its name, as every
// later step would only fail less clearly.
template<typename T> T *control(const QObject *window, const QString &name)
{
    auto *found = window->findChild<T *>(name);
    if (!found)
        qFatal("no control named %s", qPrintable(name));
    return found;
}

} // namespace vantiro::test
