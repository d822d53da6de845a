#pragma once

#include <QString>

#include <optional>

namespace vantiro {

inline const QString applicationTitle = QStringLiteral("Vantiro");

enum class PromptIcon { None, Information, Exclamation, Critical, Question };
// SaveDiscardCancel: Save is the default button, Escape answers Cancel.
enum class PromptButtons { Ok, YesNo, SaveDiscardCancel };
enum class PromptAnswer { Ok, Yes, No, Save, Discard, Cancel };

struct PromptMessage
{
    QString text;
    PromptIcon icon = PromptIcon::None;
    PromptButtons buttons = PromptButtons::Ok;
    QString title = applicationTitle;
    // The button Enter presses; unset, the box's own choice (Yes of Yes/No).
    std::optional<PromptAnswer> defaultAnswer {};

    friend bool operator==(const PromptMessage &, const PromptMessage &) = default;
};

// Every message box and input box of the program goes through this, so that windows and rules can
// be run by tests that read the messages and plan the answers.
class Prompts
{
public:
    virtual ~Prompts() = default;

    virtual PromptAnswer show(const PromptMessage &message) = 0;
    // The text entered, or nothing when the operator cancelled.
    virtual std::optional<QString> askText(const QString &title, const QString &prompt, const QString &initial) = 0;

    void inform(const QString &text, PromptIcon icon = PromptIcon::None, const QString &title = applicationTitle)
    {
        show(PromptMessage { text, icon, PromptButtons::Ok, title });
    }
    bool askYesNo(const QString &text, const QString &title = applicationTitle,
                  std::optional<PromptAnswer> defaultAnswer = std::nullopt)
    {
        return show(PromptMessage { text, PromptIcon::Question, PromptButtons::YesNo, title, defaultAnswer })
            == PromptAnswer::Yes;
    }
    // Save, Discard or Cancel.
    PromptAnswer askToSave(const QString &text)
    {
        return show(PromptMessage { text, PromptIcon::Question, PromptButtons::SaveDiscardCancel });
    }
};

// The busy (hourglass) pointer, shown while files are read or written and while a send runs.
class BusyPointer
{
public:
    virtual ~BusyPointer() = default;
    virtual void setBusy(bool busy) = 0;
};

// Shows the busy pointer for its lifetime, so every way out of a routine restores the pointer.
class BusyScope
{
public:
    explicit BusyScope(BusyPointer &pointer)
        : m_pointer(pointer)
    {
        m_pointer.setBusy(true);
    }
    ~BusyScope() { m_pointer.setBusy(false); }
    BusyScope(const BusyScope &) = delete;
    BusyScope &operator=(const BusyScope &) = delete;

private:
    BusyPointer &m_pointer;
};

} // namespace vantiro
