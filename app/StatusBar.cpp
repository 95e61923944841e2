#include "StatusBar.h"

#include <QMouseEvent>
#include <QProgressBar>

TStatusBar::TStatusBar(QWidget *parent)
    : QWidget(parent)
{
    for (int i = 0; i < 2; ++i) {
        Panels[i] = new QLabel(this);
        Panels[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        Panels[i]->setTextFormat(Qt::PlainText);
        Panels[i]->setObjectName(QStringLiteral("stbStatusPanel%1").arg(i));
    }
    Panels[0]->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    Panels[1]->setAlignment(Qt::AlignCenter);
    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("stbTagProgress"));
    m_progress->setFormat(QStringLiteral("Reading tags: %v of %m"));
    m_progress->hide();
}

void TStatusBar::showProgress(int done, int total)
{
    if (total <= 0) {
        m_progress->hide();
        return;
    }
    m_progress->setRange(0, total);
    m_progress->setValue(done);
    m_progress->show();
}

// StatusResize: panel 0 takes what panel 1 leaves.
void TStatusBar::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    const int w0 = std::max(width() - Panel1Width, 0);
    Panels[0]->setGeometry(0, 2, w0 - 2, height() - 2);
    Panels[1]->setGeometry(w0, 2, Panel1Width, height() - 2);
    m_progress->setGeometry(
        std::max(w0 - 2 - ProgressWidth, 0), 3, std::min(ProgressWidth, w0 - 2), height() - 4);
}

// The panels take no clicks of their own: a double-click on one reaches the
// bar, which tells which panel it was on.
void TStatusBar::mouseDoubleClickEvent(QMouseEvent *event)
{
    for (int i = 0; i < 2; ++i) {
        if (Panels[i]->geometry().contains(event->position().toPoint())) {
            Q_EMIT panelDoubleClicked(i);
            return;
        }
    }
    QWidget::mouseDoubleClickEvent(event);
}
