#include "scripted_prompts.h"

namespace vantiro::test {

PromptAnswer ScriptedPrompts::show(const PromptMessage &message)
{
    messages.append(message);
    if (!plannedAnswers.isEmpty())
        return plannedAnswers.takeFirst();
    switch (message.buttons) {
    case PromptButtons::YesNo:
        return PromptAnswer::Yes;
    case PromptButtons::SaveDiscardCancel:
        return PromptAnswer::Save;
    case PromptButtons::Ok:
        break;
    }
    return PromptAnswer::Ok;
}

std::optional<QString> ScriptedPrompts::askText(const QString &title, const QString &prompt, const QString &initial)
{
    messages.append(PromptMessage { prompt, PromptIcon::None, PromptButtons::Ok, title });
    if (!plannedTexts.isEmpty())
        return plannedTexts.takeFirst();
    return initial;
}

void RecordingBusyPointer::setBusy(bool busy)
{
    depth += busy ? 1 : -1;
    timesShown += busy ? 1 : 0;
    if (busy && whenShown)
        whenShown();
}

} // namespace vantiro::test
