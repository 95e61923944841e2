#pragma once
// The main window's status bar texts. The text panel shows the hint of the
// control under the mouse, and without one the selected song (the grid's
// hint); the other panel shows the selected row and the number of songs.
// After a full scan that moved song information, the text panel says so
// until the next hint replaces it.

#include <QObject>
#include <QString>

class TMusicGrid;
class TSongList;
class TStatusBar;

class TMainStatus final : public QObject
{
    Q_OBJECT
public:
    // What the texts are about: the status bar, the grid and its songs.
    struct Parts {
        TStatusBar *stbStatus;
        TMusicGrid *sgrMusic;
        const TSongList *songs;
    };

    TMainStatus(const Parts &parts, QObject *parent);

    // The status tip of the control under the mouse ("" for none); a text
    // of the form "short|long" shows its long part.
    void setApplicationHint(const QString &hint);
    // The selection moved to row (the grid's selectCell, and a left click on
    // the grid): the grid's hint becomes that song's.
    void SelectCell(int row);
    // Brings both panels up to date.
    void ShowHint();

    // The text panel still shows the moves text of a scan before.
    bool movesShown() const;
    // The moves text of a full scan (see TMovesLog::record; "" for no
    // moves), with movesShown() as it was before the scan.
    void showMoves(const QString &moved, bool shown);
    // After a full scan: the selected row may show another song now.
    void rowsChanged();
    // A note on the last full scan (folders it could not read), shown as the
    // moves are; "" shows nothing.
    void showNote(const QString &note);

private:
    Parts m_parts;
    QString m_applicationHint; // the hint of the control under the mouse
    int m_lastSelectedRow = 0;
    QString m_movesText; // the status text of the moves shown last
};
