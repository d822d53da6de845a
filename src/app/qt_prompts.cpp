#include "app/qt_prompts.h"

#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>

namespace vantiro {

namespace {

QMessageBox::Icon boxIcon(PromptIcon icon)
{
    switch (icon) {
    case PromptIcon::Information:
        return QMessageBox::Information;
    case PromptIcon::Exclamation:
        return QMessageBox::Warning;
    case PromptIcon::Critical:
        return QMessageBox::Critical;
    case PromptIcon::Question:
        return QMessageBox::Question;
    case PromptIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

} // namespace

QtPrompts::QtPrompts(QWidget *parent)
    : m_parent(parent)
{ }

namespace {

// A box shown while the hourglass is up (a send's end report) still gets the ordinary pointer.
class ArrowPointer
{
public:
    ArrowPointer() { QApplication::setOverrideCursor(Qt::ArrowCursor); }
    ~ArrowPointer() { QApplication::restoreOverrideCursor(); }
    ArrowPointer(const ArrowPointer &) = delete;
    ArrowPointer &operator=(const ArrowPointer &) = delete;
};

// Save, Discard, Cancel: Enter saves, Escape or the close box cancels.
PromptAnswer showSaveQuestion(const PromptMessage &message, QWidget *parent)
{
    QMessageBox box(boxIcon(message.icon), message.title, message.text,
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, parent);
    box.setDefaultButton(QMessageBox::Save);
    box.setEscapeButton(QMessageBox::Cancel);
    switch (box.exec()) {
    case QMessageBox::Save:
        return PromptAnswer::Save;
    case QMessageBox::Discard:
        return PromptAnswer::Discard;
    default:
        return PromptAnswer::Cancel;
    }
}

} // namespace

PromptAnswer QtPrompts::show(const PromptMessage &message)
{
    ArrowPointer arrow;
    if (message.buttons == PromptButtons::SaveDiscardCancel)
        return showSaveQuestion(message, m_parent);
    const bool yesNo = message.buttons == PromptButtons::YesNo;
    QMessageBox box(boxIcon(message.icon), message.title, message.text,
                    yesNo ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok, m_parent);
    if (yesNo && message.defaultAnswer)
        box.setDefaultButton(*message.defaultAnswer == PromptAnswer::No ? QMessageBox::No : QMessageBox::Yes);
    const int answer = box.exec();
    if (!yesNo)
        return PromptAnswer::Ok;
    return answer == QMessageBox::Yes ? PromptAnswer::Yes : PromptAnswer::No;
}

std::optional<QString> QtPrompts::askText(const QString &title, const QString &prompt, const QString &initial)
{
    ArrowPointer arrow;
    bool accepted = false;
    const QString text = QInputDialog::getText(m_parent, title, prompt, QLineEdit::Normal, initial, &accepted);
    if (!accepted)
        return std::nullopt;
    return text;
}

QtBusyPointer::~QtBusyPointer()
{
    while (m_depth > 0)
        setBusy(false);
}

void QtBusyPointer::setBusy(bool busy)
{
    if (busy) {
        // The pointer that still clicks: a long send can be stopped with it.
        QApplication::setOverrideCursor(Qt::BusyCursor);
        ++m_depth;
    } else if (m_depth > 0) {
        QApplication::restoreOverrideCursor();
        --m_depth;
    }
}

} // namespace vantiro
