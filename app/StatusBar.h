#pragma once
// The main window's status bar: two sunken panels, the left one as wide as
// the bar less the right one, which keeps its 80 pixels at the right edge.

#include <QLabel>
#include <QWidget>

class QProgressBar;

class TStatusBar final : public QWidget
{
    Q_OBJECT
public:
    static constexpr int Panel1Width = 80;

    static constexpr int ProgressWidth = 240;

    explicit TStatusBar(QWidget *parent);
    QLabel *Panels[2];
    // While tags are read behind the scans: a bar at the right end of panel
    // 0, done of total ("Reading tags: %v of %m"); total 0 hides it.
    void showProgress(int done, int total);
    QProgressBar *progressBar() const { return m_progress; }

Q_SIGNALS:
    // A double-click on panel 0 or 1.
    void panelDoubleClicked(int panel);

protected:
    void resizeEvent(QResizeEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    QProgressBar *m_progress;
};
