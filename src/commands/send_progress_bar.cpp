#include "commands/send_progress_bar.h"

#include "commands/send_progress.h"
#include "common/controls.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

using namespace Qt::StringLiterals;
using namespace vantiro::controls;

namespace vantiro {

SendProgressBar::SendProgressBar(SendProgress &progress, QWidget *parent)
    : QWidget(parent)
    , m_progress(progress)
{
    setObjectName(u"fraSendProgress"_s);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_text = named(new QLabel, u"lblSendProgress"_s);
    m_stop = button(u"cmdStopSending"_s, u"Stop sending"_s);
    m_stop->setAccessibleName(u"Stop sending"_s);
    m_stop->setAutoDefault(false);
    m_text->setBuddy(m_stop);
    layout->addWidget(m_text);
    layout->addWidget(m_stop);
    connect(m_stop, &QPushButton::clicked, &m_progress, &SendProgress::requestStop);
    connect(&m_progress, &SendProgress::changed, this, &SendProgressBar::showProgress);
    showProgress();
}

void SendProgressBar::showProgress()
{
    m_text->setText(m_progress.text());
    m_stop->setAccessibleDescription(m_progress.text());
    setVisible(m_progress.isShown());
}

} // namespace vantiro
