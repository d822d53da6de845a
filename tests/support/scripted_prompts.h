#pragma once

#include "common/prompts.h"

#include <QList>
#include <QMetaType>
#include <QStringList>

#include <functional>

namespace vantiro::test {

// Records every message the program shows and answers from a plan (by default Ok, Yes, or Save).
class ScriptedPrompts : public Prompts
{
public:
    PromptAnswer show(const PromptMessage &message) override;
    std::optional<QString> askText(const QString &title, const QString &prompt, const QString &initial) override;

    QList<PromptMessage> messages;
    QList<PromptAnswer> plannedAnswers;
    QList<std::optional<QString>> plannedTexts;
};

// Counts how the busy pointer is set, so tests can see it restored on every path.
class RecordingBusyPointer : public BusyPointer
{
public:
    void setBusy(bool busy) override;

    int depth = 0;
    int timesShown = 0;
    // Called each time the pointer is shown. Every run of the executor shows it as it begins, so a test
    // can act while a send is in progress however short it is, where a timer of its event loop might
    // only get its turn after a quick send has ended.
    std::function<void()> whenShown;
};

} // namespace vantiro::test

Q_DECLARE_METATYPE(vantiro::PromptMessage)

namespace vantiro {

// How a failed comparison shows a message.
inline char *toString(const PromptMessage &message)
{
    return qstrdup(
        qPrintable(QStringLiteral("%1 (title %2, icon %3)").arg(message.text, message.title).arg(int(message.icon))));
}

} // namespace vantiro
