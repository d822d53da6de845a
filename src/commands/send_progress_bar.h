#pragma once

#include <QWidget>

class QLabel;
class QPushButton;

namespace vantiro {

class SendProgress;

// The line a window shows while a long send runs: where the send is ("lblSendProgress") and "Stop
// sending" ("cmdStopSending"). Hidden while there is nothing to show; it never takes the focus, so
// typing elsewhere goes on, and Tab reaches the button.
class SendProgressBar : public QWidget
{
    Q_OBJECT

public:
    explicit SendProgressBar(SendProgress &progress, QWidget *parent = nullptr);

private:
    void showProgress();

    SendProgress &m_progress;
    QLabel *m_text = nullptr;
    QPushButton *m_stop = nullptr;
};

} // namespace vantiro
