// Saving the custom panel's button list (40 buttons) into a GeneralControlSettings.ini that also holds
// many sections of its own, hand-written or left by other tools, which the save keeps: the median of
// several rounds for 50,000 and 200,000 such sections, side by side in one run. Linear work grows by
// about 4 from the one to the other (somewhat more where the larger file no longer fits the caches),
// quadratic by about 16 (before: 5.4 s and 84 s).
// Goals: a ratio under 8, halfway between the two, and 200,000 sections under 3 s.
// Arguments: the section counts to measure instead (for a quick look at slow code).
#include "bench_stats.h"
#include "custom/panel_button.h"
#include "temp_app_folder.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>
#include <vector>

using namespace Qt::StringLiterals;
using namespace vantiro;

namespace {

constexpr int rounds = 5;
constexpr int buttonCount = 40;

QByteArray fileWithSections(int sections)
{
    QByteArray text = "[BUTTON_SETTINGS]\r\nButton=1\r\n1=Old`LG`1,9600,n,8,1\r\n";
    text.reserve(qsizetype(sections) * 40);
    for (int section = 0; section < sections; ++section)
        text += "[SITE_" + QByteArray::number(section) + "]\r\nBuilding=North " + QByteArray::number(section) + "\r\n";
    return text;
}

QList<PanelButton> buttons()
{
    QList<PanelButton> list;
    for (int i = 1; i <= buttonCount; ++i)
        list.append({ u"Display %1"_s.arg(i), u"LG"_s, QString::number(i), u"9600"_s, u"n"_s, u"8"_s, u"1"_s });
    return list;
}

// The median time of a save, in ms; negative when a save failed.
double saveMs(int sections)
{
    test::TempAppFolder folder;
    const QByteArray file = fileWithSections(sections);
    const QList<PanelButton> list = buttons();
    std::vector<double> times;
    for (int round = 0; round < rounds; ++round) {
        folder.writeFile(buttonFileName, file);
        QElapsedTimer clock;
        clock.start();
        if (!saveButtonFile(folder.path(), list))
            return -1;
        times.push_back(double(clock.nsecsElapsed()) / 1e6);
    }
    return bench::median(times);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    std::vector<int> counts { 50000, 200000 };
    if (argc > 1) {
        counts.clear();
        for (int i = 1; i < argc; ++i)
            counts.push_back(QByteArray(argv[i]).toInt());
    }

    std::vector<double> medians;
    for (const int sections : counts) {
        const double ms = saveMs(sections);
        if (ms < 0) {
            std::printf("save of %d sections failed\n", sections);
            return 1;
        }
        medians.push_back(ms);
        std::printf("%7d sections: save %8.1f ms (median of %d)\n", sections, ms, rounds);
    }
    if (medians.size() < 2)
        return 0;
    const double ratio = medians.back() / medians.front();
    const double sectionRatio = double(counts.back()) / counts.front();
    std::printf("ratio %d/%d sections: %.1f (linear about %.0f, quadratic about %.0f); goal under %.0f\n",
                counts.back(), counts.front(), ratio, sectionRatio, sectionRatio * sectionRatio, sectionRatio * 2);
    const bool met = medians.back() < 3000 && ratio < sectionRatio * 2;
    std::printf("%s: the ratio under %.0f and %d sections under 3 s\n", met ? "met" : "NOT MET", sectionRatio * 2,
                counts.back());
    return met ? 0 : 1;
}
