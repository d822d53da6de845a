#include "sample_week_view.h"

#include "common/text_table_model.h"
#include "scheduler/schedule_table.h"
#include "scheduler/week_view_window.h"

using namespace Qt::StringLiterals;

namespace vantiro::test {

std::unique_ptr<QWidget> sampleWeekView(Prompts &prompts, const Clock &clock, QWidget *parent)
{
    static TextTableModel schedule(scheduleColumns());
    static TextTableModel dates(datesWithoutEventsColumns());
    schedule.replaceRows({ { u"Lobby"_s, u"03/01/2009"_s, u"12/31/2009"_s, u"08:00:00"_s, u"08:00:00"_s,
                             u"S,M,T,W,Th,F,Sat"_s, u"Monitors ON"_s },
                           { u"Hall"_s, u"03/01/2009"_s, u"12/31/2009"_s, u"08:00:00"_s, u"08:00:00"_s,
                             u"N,M,T,W,Th,F,N"_s, u"Monitors OFF"_s },
                           { u"Typo"_s, u"13/45/2009"_s, u"12/31/2009"_s, u"23:00:00"_s, u"23:00:00"_s,
                             u"S,M,T,W,Th,F,Sat"_s, u"Monitors OFF"_s } });
    dates.replaceRows({ { u"03/27/2009"_s, u"Closed"_s } });
    return std::make_unique<WeekViewWindow>(schedule, dates, prompts, clock, parent);
}

} // namespace vantiro::test
