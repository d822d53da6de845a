#pragma once

#include "app/tray_icon.h"

namespace vantiro::test {

// A notification area the test controls: present or absent, and clicked on request.
class FakeTrayIcon : public TrayIcon
{
    Q_OBJECT

public:
    explicit FakeTrayIcon(bool available = true)
        : m_available(available)
    { }

    bool isAvailable() const override { return m_available; }
    void showIcon() override
    {
        m_shown = true;
        ++timesShown;
    }
    void removeIcon() override { m_shown = false; }
    bool isIconShown() const override { return m_shown; }

    void doubleClick() { emit doubleClicked(); }

    int timesShown = 0;

private:
    bool m_available;
    bool m_shown = false;
};

} // namespace vantiro::test
