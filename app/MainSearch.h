#pragma once
// The main window's search: the search field, the find button and the
// artist list. Find steps through the rows holding the text, one row per
// press, and starts again at the top after a beep. While the focus stays in
// the search field the arrow and page keys move the grid, and Enter then
// plays the song instead of searching.

#include <QObject>

class QKeyEvent;
class TfrmMain;

class TMainSearch final : public QObject
{
    Q_OBJECT
public:
    // Moves per Page Up / Page Down.
    static constexpr int PageRows = 15;

    explicit TMainSearch(TfrmMain &form);

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
    TfrmMain &m_form;
    int m_searchStartRow = 1;
    bool m_keyNavigation = false;
    int m_beeps = 0;
};
