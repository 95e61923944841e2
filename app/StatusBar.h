#pragma once
// The main window's status bar: two sunken panels, the left one as wide as
// the bar less the right one, which keeps its 80 pixels at the right edge.

#include <QLabel>
#include <QWidget>

class TStatusBar final : public QWidget
{
    Q_OBJECT
public:
    static constexpr int Panel1Width = 80;

    explicit TStatusBar(QWidget *parent);
    QLabel *Panels[2];

Q_SIGNALS:
    // A double-click on panel 0 or 1.
    void panelDoubleClicked(int panel);

protected:
    void resizeEvent(QResizeEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
};
