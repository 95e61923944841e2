#pragma once
// "Fill from the song files" (Ctrl+Shift+T, or the status bar's context
// menu): for every listed song, what its file holds (tags, length, lyrics,
// see FileValues.h) goes into the empty keys of its song information file,
// and a song without one gets one in the layout the details dialog saves. A
// value that is there is never replaced. It shows its progress and can be
// cancelled: what was written stays written, each file whole. Every song
// written is listed in the log of song information (the status bar's
// double-click shows it), and a full scan then shows the grid and totals.

#include <QObject>

class QAction;
class QWidget;
class TCatalogue;
class TMovesLog;
class TScanControl;

class TFillCommand final : public QObject
{
    Q_OBJECT
public:
    struct Parts {
        QWidget *window;
        TCatalogue *catalogue;
        TScanControl *scans;
        TMovesLog *log;
    };
    TFillCommand(const Parts &parts, QObject *parent);

    QAction *action() const { return m_action; }
    // Fills the listed songs; the number of songs written.
    int run();

private:
    Parts m_parts;
    QAction *m_action;
};
