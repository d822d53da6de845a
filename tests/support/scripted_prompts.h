#pragma once

#include "common/prompts.h"

#include <QList>
#include <QStringList>

namespace vantiro::test {

// Records every message the program shows and answers from a plan (Ok / Yes by default).
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
};

} // namespace vantiro::test
