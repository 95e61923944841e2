#include "StatusBar.h"

#include <QMouseEvent>

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
}

// StatusResize: panel 0 takes what panel 1 leaves.
void TStatusBar::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    const int w0 = std::max(width() - Panel1Width, 0);
    Panels[0]->setGeometry(0, 2, w0 - 2, height() - 2);
    Panels[1]->setGeometry(w0, 2, Panel1Width, height() - 2);
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
