// The main window's status bar texts on their own: the hint of the control
// under the mouse wins over the selected song and shows its long part, and
// the moves text of a full scan stays counted while it is on show.

#include "MainStatus.h"
#include "MusicGrid.h"
#include "PlayedList.h"
#include "SongList.h"
#include "StatusBar.h"

#include <QTest>
#include <QWidget>

class TestMainStatus : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void selectionAndHints();
    void movesText();

private:
    TSongList m_songs;
    TPlayedList m_played;
    QWidget *m_window = nullptr;
    TStatusBar *m_bar = nullptr;
    TMusicGrid *m_grid = nullptr;
    TMainStatus *m_status = nullptr;
    QString panel(int i) const { return m_bar->Panels[i]->text(); }
};

void TestMainStatus::init()
{
    m_songs.setRowCount(4);
    m_songs.setCell(TSongList::ColArtist, 1, QStringLiteral("Merel"));
    m_songs.setCell(TSongList::ColTitle, 1, QStringLiteral("Lantern"));
    m_songs.setCell(TSongList::ColArtist, 2, QStringLiteral("Zandor"));
    m_songs.setCell(TSongList::ColTitle, 2, QStringLiteral("Daylight"));
    m_songs.setCell(TSongList::ColTitle, 3, QStringLiteral("Harbour"));
    m_window = new QWidget;
    m_bar = new TStatusBar(m_window);
    m_grid = new TMusicGrid(&m_songs, &m_played, m_window);
    m_status = new TMainStatus({ m_bar, m_grid, &m_songs }, m_window);
}

void TestMainStatus::cleanup()
{
    delete m_window;
}

void TestMainStatus::selectionAndHints()
{
    // A row the grid moves to names its song, the artist from its run.
    m_grid->setRow(3);
    QCOMPARE(m_grid->Hint, QStringLiteral("|Zandor - Harbour"));
    QCOMPARE(panel(0), QStringLiteral(" Zandor - Harbour"));
    QCOMPARE(panel(1), QStringLiteral("3 / 3"));

    m_status->setApplicationHint(QStringLiteral("Refresh|Refresh list and totals."));
    QCOMPARE(panel(0), QStringLiteral(" Refresh list and totals."));
    m_status->setApplicationHint(QStringLiteral("Play selected item."));
    QCOMPARE(panel(0), QStringLiteral(" Play selected item."));
    // A selection under that hint leaves it in the text panel.
    m_status->SelectCell(1);
    QCOMPARE(panel(0), QStringLiteral(" Play selected item."));
    QCOMPARE(panel(1), QStringLiteral("1 / 3"));
    QCOMPARE(m_grid->Hint, QStringLiteral("|Merel - Lantern"));
    m_status->setApplicationHint(QString());
    // Without one, the song last selected.
    QCOMPARE(panel(0), QStringLiteral(" Merel - Lantern"));
    QCOMPARE(panel(1), QStringLiteral("3 / 3"));
}

void TestMainStatus::movesText()
{
    QVERIFY(!m_status->movesShown());
    m_status->showMoves(QStringLiteral("2 song information files moved"), false);
    // Shown once the event loop runs, after what the scan's activation shows.
    QVERIFY(!m_status->movesShown());
    QCoreApplication::processEvents();
    QCOMPARE(panel(0), QStringLiteral(" 2 song information files moved"));
    QVERIFY(m_status->movesShown());
    // A scan that moved nothing leaves it counted while it is on show...
    m_status->showMoves(QString(), true);
    QCoreApplication::processEvents();
    QVERIFY(m_status->movesShown());
    // ...until a hint replaces it; then it is forgotten.
    m_status->ShowHint();
    QVERIFY(!m_status->movesShown());
    m_status->showMoves(QString(), false);
    m_bar->Panels[0]->setText(QStringLiteral(" 2 song information files moved"));
    QVERIFY(!m_status->movesShown());
}

QTEST_MAIN(TestMainStatus)
#include "tst_MainStatus.moc"
