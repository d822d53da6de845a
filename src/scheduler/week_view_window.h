#pragma once

#include "common/safe_save.h"
#include "scheduler/week_plan.h"

#include <QDialog>
#include <QList>

#include <functional>

class QAbstractButton;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPainter;
class QPushButton;
class QScrollArea;
class QTreeView;

namespace vantiro {

class Clock;
class Prompts;
class TextTableModel;

// Asks where to save a file: the caption, a suggested file name and the name filters ("PNG picture
// (*.png);;PDF document (*.pdf)"); the empty text when the operator cancels. Tests answer it themselves.
using SavePathChooser
    = std::function<QString(QWidget *parent, const QString &caption, const QString &suggested, const QString &filters)>;
SavePathChooser fileDialogSavePath();

// The week picture: seven day columns, Sunday first, every firing a block at its time, coloured by
// what the function does. Blocks are buttons: a click or Enter chooses its row, the arrow keys move
// between blocks (up and down within a day, left and right to the nearest block of the next day
// that has one).
class WeekPicture : public QWidget
{
    Q_OBJECT

public:
    explicit WeekPicture(QWidget *parent = nullptr);

    void showPlan(const WeekPlan &plan, const DatesWithoutEvents &skipped);
    const QList<QAbstractButton *> &blocks() const { return m_blocks; }
    QSize sizeHint() const override;
    // The whole day is always there, scrolled to where the window is short.
    QSize minimumSizeHint() const override { return sizeHint(); }
    // The title and the day headings, painted over the picture's columns.
    void paintHeading(QPainter &painter) const;
    int headingHeight() const;
    // With the headings on top, as a saved picture shows them; in the window they stand apart.
    void setWithHeading(bool withHeading);

signals:
    void rowChosen(int row);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    int bodyTop() const;
    int columnLeft(int day) const;
    int columnWidth() const;
    void placeBlocks();
    // The block the arrow key leads to from the block at `index`, or -1.
    int blockAfterKey(int index, int key) const;

    WeekPlan m_plan;
    DatesWithoutEvents m_skipped;
    QList<QAbstractButton *> m_blocks;
    QList<int> m_tops; // per block, below the header
    int m_picturePart = 0; // height of the day columns
    bool m_withHeading = false;
};

// "Week View": the week picture with its week chosen by buttons and a date picker, the rows that
// never fire, "Save Picture..." (PNG or PDF), and the dates without events with their notes.
class WeekViewWindow : public QDialog
{
    Q_OBJECT

public:
    WeekViewWindow(const TextTableModel &schedule, TextTableModel &datesWithoutEvents, Prompts &prompts,
                   const Clock &clock, QWidget *parent = nullptr);

    void setSavePathChooser(SavePathChooser chooser) { m_choosePath = std::move(chooser); }
    // The week that holds the day.
    void showWeekOf(QDate day);
    QDate shownSunday() const { return m_plan.sunday; }
    const WeekPlan &plan() const { return m_plan; }
    WeekPicture *picture() const { return m_picture; }
    // While the schedule runs, the dates without events cannot be changed.
    void setEditingEnabled(bool enabled);

    void savePicture();
    void addDate();
    void removeSelectedDates();

signals:
    void rowChosen(int row);

protected:
    void showEvent(QShowEvent *event) override;

private:
    void refresh();
    void scrollToFirstBlock();

    const TextTableModel &m_schedule;
    TextTableModel &m_dates;
    Prompts &m_prompts;
    SavePathChooser m_choosePath;
    WeekPlan m_plan;
    WeekPicture *m_picture = nullptr;
    QWidget *m_heading = nullptr;
    QScrollArea *m_scroll = nullptr;
    QDateEdit *m_week = nullptr;
    QLabel *m_neverFires = nullptr;
    QTreeView *m_dateList = nullptr;
    QDateEdit *m_newDate = nullptr;
    QLineEdit *m_newNote = nullptr;
    QPushButton *m_add = nullptr;
    QPushButton *m_remove = nullptr;
};

// Writes the widget's whole picture as PNG or, for a name ending in ".pdf", as a PDF page.
SaveResult saveWidgetPicture(QWidget *widget, const QString &path);

} // namespace vantiro
