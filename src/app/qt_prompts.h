#pragma once

#include "common/prompts.h"

class QWidget;

namespace vantiro {

// Message boxes and the input box of the desktop, owned by the window they belong to.
class QtPrompts : public Prompts
{
public:
    explicit QtPrompts(QWidget *parent);

    PromptAnswer show(const PromptMessage &message) override;
    std::optional<QString> askText(const QString &title, const QString &prompt, const QString &initial) override;

private:
    QWidget *m_parent;
};

// The hourglass of the desktop. Nested scopes keep it until the outermost one ends.
class QtBusyPointer : public BusyPointer
{
public:
    ~QtBusyPointer() override;
    void setBusy(bool busy) override;

private:
    int m_depth = 0;
};

} // namespace vantiro
