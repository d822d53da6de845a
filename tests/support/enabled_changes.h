#pragma once

#include <QEvent>
#include <QWidget>

#include <functional>

namespace vantiro::test {

// Calls back on the window's thread each time a widget is enabled or disabled, with its new state. Every
// run of the executor locks the main window's editing frames as it begins and gives them back as it ends,
// so this catches a send in progress however short it is; a timer of the test's event loop may not get
// its turn before a quick send has ended.
class EnabledChanges : public QObject
{
public:
    EnabledChanges(QWidget *widget, std::function<void(bool enabled)> changed)
        : m_changed(std::move(changed))
    {
        widget->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::EnabledChange)
            m_changed(static_cast<QWidget *>(watched)->isEnabled());
        return false;
    }

private:
    std::function<void(bool enabled)> m_changed;
};

} // namespace vantiro::test
