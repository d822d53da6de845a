#include "running_copy/headless_schedule.h"

#include "common/clock.h"
#include "common/daily_log.h"
#include "common/ini_file.h"
#include "common/prompts.h"
#include "common/status_log.h"
#include "common/text_table_model.h"
#include "inventory/inventory.h"
#include "scheduler/schedule_table.h"
#include "serial/serial_link.h"

#include <QFileInfo>

#include <functional>
#include <utility>

using namespace Qt::StringLiterals;

namespace vantiro {

namespace {

// What the window shows in a message box goes to the status log here; nobody could answer a question.
class LoggedPrompts : public Prompts
{
public:
    explicit LoggedPrompts(const std::function<void(const QString &)> &log)
        : m_log(log)
    { }
    PromptAnswer show(const PromptMessage &message) override
    {
        m_log(QString(message.text).replace(u'\n', u' '));
        return message.buttons == PromptButtons::YesNo ? PromptAnswer::No : PromptAnswer::Ok;
    }
    std::optional<QString> askText(const QString &, const QString &, const QString &) override { return std::nullopt; }

private:
    std::function<void(const QString &)> m_log;
};

class NoPointer : public BusyPointer
{
public:
    void setBusy(bool) override { }
};

// A count written as 0: the file says there is nothing, which an absent or unreadable count does not.
bool countIsZero(const IniFile &ini, const QString &section, const QString &key)
{
    const std::optional<QString> count = ini.value(section, key);
    return count && count->trimmed() == u"0"_s;
}

QString itemAt(const QStringList &items, int index)
{
    return items.value(index);
}

} // namespace

SettingsReading readSettingsForSchedule(const QString &path)
{
    SettingsReading reading;
    const QFileInfo info(path);
    reading.exists = info.exists() || info.isSymLink();
    if (!reading.exists)
        return reading;
    const std::optional<IniFile> ini = IniFile::read(path, reading.error);
    if (!ini)
        return reading;
    reading.contents = readSettings(*ini);
    reading.groupsCleared = countIsZero(*ini, u"GROUP_SETTINGS"_s, u"Groups"_s);
    reading.scheduleCleared = countIsZero(*ini, u"SCHEDULE_SETTINGS"_s, u"Schedules"_s);
    return reading;
}

HeadlessSchedule::HeadlessSchedule(const QString &applicationFolder, const Clock &clock, QObject *parent)
    : QObject(parent)
    , m_settingsPath(applicationFolder + u"/Settings.ini"_s)
    , m_commands(ModelCommandSet::initial())
{
    m_prompts = std::make_unique<LoggedPrompts>([this](const QString &text) { log(text); });
    m_busyPointer = std::make_unique<NoPointer>();
    m_statusLog = new StatusLog(clock, QLocale::system(), this);
    new DailyLog(applicationFolder, *m_statusLog, this);
    m_inventory = new Inventory(*m_prompts, *m_busyPointer, this);
    m_schedule = new TextTableModel(scheduleColumns(), this);
    m_pending = new TextTableModel(pendingColumns(), this);
    m_serialLink = std::make_unique<SerialLink>(PortMap(applicationFolder));
    m_executor = new EventExecutor(
        *this, m_commands, EventExecutor::Services { *m_serialLink, *m_statusLog, *m_prompts, *m_busyPointer }, this);
    m_runner = new ScheduleRunner(
        { clock, *m_schedule, *m_pending, *m_inventory, m_commands, *m_statusLog, *m_executor, *this },
        PortMap(applicationFolder), this);
    resetCommandPort({});
}

HeadlessSchedule::~HeadlessSchedule()
{
    // The executor and the link go before the tables and the log they report to.
    delete m_executor;
    m_serialLink.reset();
}

void HeadlessSchedule::start(std::optional<RunnerHandOver> handOver)
{
    m_handOver = std::move(handOver);
    const SettingsReading reading = readSettingsForSchedule(m_settingsPath);
    if (!reading.exists) {
        log(u"There is no "_s + m_settingsPath + u": nothing is scheduled until it is there."_s);
        return;
    }
    if (!reading.error.isEmpty()) {
        log(u"Cannot read "_s + m_settingsPath + u": "_s + reading.error
            + u". Nothing is scheduled until it can be read."_s);
        return;
    }
    take(reading, true);
}

void HeadlessSchedule::takeChangedSettings()
{
    const SettingsReading reading = readSettingsForSchedule(m_settingsPath);
    const QString keeping = u"; the schedule runs on as it was."_s;
    if (!reading.exists) {
        log(m_settingsPath + u" is gone"_s + keeping);
        return;
    }
    if (!reading.error.isEmpty()) {
        log(u"Cannot read the changed "_s + m_settingsPath + u": "_s + reading.error + keeping);
        return;
    }
    if (!reading.contents.scheduleRows && !reading.scheduleCleared && m_schedule->rowCount() > 0) {
        log(u"The changed "_s + m_settingsPath
            + u" holds no readable [SCHEDULE_SETTINGS] section (a \"Schedules\" count and its rows)"_s + keeping);
        return;
    }
    take(reading, false);
}

void HeadlessSchedule::take(const SettingsReading &reading, bool firstLoad)
{
    const SettingsContents &contents = reading.contents;
    if (contents.groupRows) {
        // Once running, the port table is left as the event being sent loaded it.
        if (firstLoad)
            m_inventory->loadGroups(*contents.groupRows);
        else
            m_inventory->groups().replaceRows(*contents.groupRows);
    } else if (reading.groupsCleared) {
        m_inventory->groups().clear();
    }
    if (contents.scheduleRows)
        m_schedule->replaceRows(*contents.scheduleRows);
    else if (reading.scheduleCleared)
        m_schedule->clear();
    m_runner->datesWithoutEvents().replaceRows(contents.datesWithoutEvents);
    resetCommandPort(contents.serial);

    const QString counts
        = u"%1 groups and %2 schedule rows"_s.arg(m_inventory->groups().rowCount()).arg(m_schedule->rowCount());
    if (firstLoad)
        log(u"Loaded "_s + m_settingsPath + u": "_s + counts + u'.');
    else
        log(u"Took the changed "_s + m_settingsPath + u": "_s + counts
            + u"; %1 events still queued."_s.arg(m_pending->rowCount()));
    if (m_runner->isRunning())
        return;
    if (m_schedule->rowCount() > 0) {
        if (m_handOver)
            m_runner->continueFrom(*std::exchange(m_handOver, std::nullopt));
        m_runner->run();
    } else
        log(u"The schedule has no rows: nothing is sent until Settings.ini holds some."_s);
}

void HeadlessSchedule::stop()
{
    if (m_runner->isRunning())
        m_runner->stop();
}

// As the window is after its initialisation and a load: the model list on "LG", the lists at 9600, "n", "8",
// "1", then what the file holds.
void HeadlessSchedule::resetCommandPort(const SerialCommandSettings &serial)
{
    m_commands = ModelCommandSet::initial();
    m_monitorOn.clear();
    m_monitorOff.clear();
    selectModelEntry(0);
    const LineSettingsSelection defaults;
    m_lineSettings
        = { itemAt(baudRateItems(), defaults.baudIndex), itemAt(parityItems(), defaults.parityIndex),
            itemAt(dataBitsItems(), defaults.dataBitsIndex), itemAt(stopBitsItems(), defaults.stopBitsIndex) };
    if (!serial.monitorOn.isEmpty())
        m_monitorOn = serial.monitorOn;
    if (!serial.monitorOff.isEmpty())
        m_monitorOff = serial.monitorOff;
    const LineSettings &loaded = serial.lineSettings;
    for (auto [value, target] : { std::pair { &loaded.baudRate, &m_lineSettings.baudRate },
                                  std::pair { &loaded.parity, &m_lineSettings.parity },
                                  std::pair { &loaded.dataBits, &m_lineSettings.dataBits },
                                  std::pair { &loaded.stopBits, &m_lineSettings.stopBits } }) {
        if (!value->isEmpty())
            *target = *value;
    }
}

// The background copy runs what the file holds and never rewrites it, so there is nothing to save.
bool HeadlessSchedule::saveSettings()
{
    return true;
}

void HeadlessSchedule::selectModelEntry(int index)
{
    m_modelListText = displayModelNames().value(index);
    const ModelChoice choice = chooseDisplayModel(m_commands, m_modelListText);
    m_monitorOn = m_commands.powerOnCommand;
    m_monitorOff = m_commands.powerOffCommand;
    const LineSettingsSelection &lists = choice.lineSettings;
    m_lineSettings = { itemAt(baudRateItems(), lists.baudIndex), itemAt(parityItems(), lists.parityIndex),
                       itemAt(dataBitsItems(), lists.dataBitsIndex), itemAt(stopBitsItems(), lists.stopBitsIndex) };
    m_commands.modelBaudRate = m_lineSettings.baudRate;
    m_commands.modelParity = m_lineSettings.parity;
    m_commands.modelDataBits = m_lineSettings.dataBits;
    m_commands.modelStopBits = m_lineSettings.stopBits;
}

SendSnapshot HeadlessSchedule::sendSnapshot() const
{
    SendSnapshot snapshot;
    const TextTableModel &ports = m_inventory->ports();
    for (int row = 0; row < ports.rowCount(); ++row)
        snapshot.groupPorts.append({ ports.cell(row, portNumberColumn), ports.cell(row, portModelColumn) });
    snapshot.modelListText = m_modelListText;
    for (int com = 1; com <= 40; ++com)
        snapshot.comPortItems.append(QString::number(com));
    snapshot.lineSettings = m_lineSettings;
    return snapshot;
}

void HeadlessSchedule::log(const QString &text)
{
    m_statusLog->statusMessage(text);
}

} // namespace vantiro
