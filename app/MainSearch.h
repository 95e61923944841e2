#pragma once
// The main window's search: the search field, the find button and the
// artist list. Find steps through the rows holding the text, one row per
// press, and starts again at the top after a beep. While the focus stays in
// the search field the arrow and page keys move the grid, and Enter then
// plays the song instead of searching.

#include <QObject>

#include <functional>

class QComboBox;
class QKeyEvent;
class QLineEdit;
class QPushButton;
class TMusicGrid;
class TSongList;

class TMainSearch final : public QObject
{
    Q_OBJECT
public:
    // Moves per Page Up / Page Down.
    static constexpr int PageRows = 15;

    // What the search works with: the window's controls and its command
    // dispatcher (the find button's command, and Play for Enter after the
    // arrow keys moved the grid).
    struct Parts {
        QLineEdit *edtFind;
        QPushButton *bbtFind;
        QComboBox *cbxArtist;
        TMusicGrid *sgrMusic;
        const TSongList *songs;
        std::function<void(QObject *Sender)> ButtonsClick;
        QObject *play;
    };

    TMainSearch(const Parts &parts, QObject *parent);

    // Searches from the search start row; the hit becomes the current row.
    void FindNext();
    // The next search starts at row 1, the button says "&Find first".
    void ResetFind();
    // The search text changed (typed or set by the program).
    void FindChange();
    // A key in the search field; true when it was consumed.
    bool FindKeyDown(int key, Qt::KeyboardModifiers modifiers);
    // Enter in the search field: plays after key navigation, else searches.
    void FindKeyPress();
    // An artist chosen in the list: go to its first row.
    void ArtistClick(int index);

    int searchStartRow() const { return m_searchStartRow; }
    bool keyNavigation() const { return m_keyNavigation; }
    // How often a search found nothing (the beep cannot be heard offscreen).
    int beeps() const { return m_beeps; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    Parts m_parts;
    int m_searchStartRow = 1;
    bool m_keyNavigation = false;
    int m_beeps = 0;
};
