#include "commands/serial_command_frame.h"

#include "common/controls.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>

#include <utility>

using namespace Qt::StringLiterals;
using namespace vantiro::controls;

namespace vantiro {

SerialCommandFrame::SerialCommandFrame(QWidget *parent)
    : QGroupBox(u"Serial Command Port Settings"_s, parent)
{
    setObjectName(u"fraSerialCommand"_s);
    auto *form = new QGridLayout(this);

    m_txtCommPort = named(new QLineEdit, u"TxtCommPort"_s);
    auto *commPortLabel = new QLabel(u"CommPort:"_s);
    commPortLabel->setBuddy(m_txtCommPort);
    form->addWidget(commPortLabel, 0, 0);
    form->addWidget(m_txtCommPort, 0, 1);

    const QStringList labels { u"Baud:"_s, u"Parity:"_s, u"Data Bits:"_s, u"Stop Bits:"_s };
    const QList<QStringList> items { baudRateItems(), parityItems(), dataBitsItems(), stopBitsItems() };
    for (int i = 0; i < 4; ++i) {
        // Editable, so a value not offered by the list can still be typed (and is saved as typed).
        auto *list = comboBox(arrayName(u"CbPortSet"_s, i), items.at(i), true);
        m_cbPortSet.append(list);
        auto *label = new QLabel(labels.at(i));
        label->setBuddy(list);
        const int row = 1 + i / 2;
        const int column = (i % 2) * 2;
        form->addWidget(label, row, column);
        form->addWidget(list, row, column + 1);
    }

    m_txtMonitorOnCommand = named(new QLineEdit, u"txtMonitorOnCommand"_s);
    m_txtMonitorOffCommand = named(new QLineEdit, u"txtMonitorOffCommand"_s);
    auto *onLabel = new QLabel(u"Monitor ON:"_s);
    onLabel->setBuddy(m_txtMonitorOnCommand);
    auto *offLabel = new QLabel(u"Monitor OFF:"_s);
    offLabel->setBuddy(m_txtMonitorOffCommand);
    form->addWidget(onLabel, 3, 0);
    form->addWidget(m_txtMonitorOnCommand, 3, 1, 1, 3);
    form->addWidget(offLabel, 4, 0);
    form->addWidget(m_txtMonitorOffCommand, 4, 1, 1, 3);
    form->setColumnStretch(1, 1);
    form->setColumnStretch(3, 1);

    for (QLineEdit *command : { m_txtMonitorOnCommand, m_txtMonitorOffCommand })
        connect(command, &QLineEdit::textEdited, this, &SerialCommandFrame::editedByHand);
    for (QComboBox *list : std::as_const(m_cbPortSet)) {
        connect(list, &QComboBox::activated, this, &SerialCommandFrame::editedByHand);
        connect(list->lineEdit(), &QLineEdit::textEdited, this, &SerialCommandFrame::editedByHand);
    }
}

void SerialCommandFrame::selectDefaults()
{
    const LineSettingsSelection defaults;
    const QList<int> entries { defaults.baudIndex, defaults.parityIndex, defaults.dataBitsIndex,
                               defaults.stopBitsIndex };
    for (int i = 0; i < m_cbPortSet.size(); ++i)
        m_cbPortSet.at(i)->setCurrentIndex(entries.at(i));
    m_txtCommPort->setText(u"1"_s);
}

void SerialCommandFrame::clearMonitorCommands()
{
    m_txtMonitorOnCommand->clear();
    m_txtMonitorOffCommand->clear();
}

void SerialCommandFrame::showModel(ModelCommandSet &commands, const LineSettingsSelection &selection)
{
    m_txtMonitorOnCommand->setText(commands.powerOnCommand);
    m_txtMonitorOffCommand->setText(commands.powerOffCommand);
    const QList<int> entries { selection.baudIndex, selection.parityIndex, selection.dataBitsIndex,
                               selection.stopBitsIndex };
    for (int i = 0; i < m_cbPortSet.size(); ++i)
        m_cbPortSet.at(i)->setCurrentIndex(entries.at(i));
    const LineSettings shown = lineSettings();
    commands.modelBaudRate = shown.baudRate;
    commands.modelParity = shown.parity;
    commands.modelDataBits = shown.dataBits;
    commands.modelStopBits = shown.stopBits;
}

LineSettings SerialCommandFrame::lineSettings() const
{
    return { m_cbPortSet.at(0)->currentText(), m_cbPortSet.at(1)->currentText(), m_cbPortSet.at(2)->currentText(),
             m_cbPortSet.at(3)->currentText() };
}

void SerialCommandFrame::showLineSettings(const LineSettings &settings)
{
    const QStringList values { settings.baudRate, settings.parity, settings.dataBits, settings.stopBits };
    for (int i = 0; i < m_cbPortSet.size(); ++i) {
        if (values.at(i).isEmpty())
            continue;
        QComboBox *list = m_cbPortSet.at(i);
        const int entry = list->findText(values.at(i));
        if (entry >= 0)
            list->setCurrentIndex(entry);
        else
            list->setEditText(values.at(i));
    }
}

QString SerialCommandFrame::monitorOnCommand() const
{
    return m_txtMonitorOnCommand->text();
}

QString SerialCommandFrame::monitorOffCommand() const
{
    return m_txtMonitorOffCommand->text();
}

void SerialCommandFrame::showMonitorCommands(const QString &on, const QString &off)
{
    if (!on.isEmpty())
        m_txtMonitorOnCommand->setText(on);
    if (!off.isEmpty())
        m_txtMonitorOffCommand->setText(off);
}

} // namespace vantiro
