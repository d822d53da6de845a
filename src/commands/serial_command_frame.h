#pragma once

#include "commands/display_models.h"
#include "serial/line_settings.h"

#include <QGroupBox>
#include <QList>

class QComboBox;
class QLineEdit;

namespace vantiro {

// "Serial Command Port Settings": the command port, the four line settings lists and the monitor
// command texts of the model applied last.
class SerialCommandFrame : public QGroupBox
{
    Q_OBJECT

public:
    explicit SerialCommandFrame(QWidget *parent = nullptr);

    // Start-up contents: 9600, "n", "8", "1" and CommPort "1".
    void selectDefaults();
    void clearMonitorCommands();

    // What applying a model shows: its power commands and its line settings entries. The set's
    // model line settings become the texts the lists then show.
    void showModel(ModelCommandSet &commands, const LineSettingsSelection &selection);

    // The texts the lists show; typed values included.
    LineSettings lineSettings() const;
    // Shows every setting that has a text; one the list does not offer is shown as typed, so a save
    // writes it back unchanged.
    void showLineSettings(const LineSettings &settings);

    QString monitorOnCommand() const;
    QString monitorOffCommand() const;
    // Empty texts leave the fields as they are.
    void showMonitorCommands(const QString &on, const QString &off);

signals:
    // The operator typed into a monitor command or a line setting, or chose a line setting; what the
    // program shows there itself is not announced.
    void editedByHand();

private:
    QLineEdit *m_txtCommPort = nullptr;
    QList<QComboBox *> m_cbPortSet;
    QLineEdit *m_txtMonitorOnCommand = nullptr;
    QLineEdit *m_txtMonitorOffCommand = nullptr;
};

} // namespace vantiro
