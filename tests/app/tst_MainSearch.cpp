// The search area of the main window as the user meets it: typing and
// pressing Enter or the find button steps through the matching rows, beeps
// and starts again; the arrow and page keys in the search field move the
// grid; Enter after them plays; choosing an artist jumps to it.

#include "Launcher.h"
#include "MainCommands.h"
#include "MainSearch.h"
#include "MusicGrid.h"
#include "StubLauncher.h"
#include "TestSupport.h"
#include "UDSCMain.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using TestSupport::writeBytes;

class TestMainSearch : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void findSteps_data();
    void findSteps();
    void findFieldKeys_data();
    void findFieldKeys();
    void enterPlaysAfterKeysThenSearches();
    void textChangeStartsOver();
    void artistClick_data();
    void artistClick();

private:
    QString music() const { return m_dir->filePath(QStringLiteral("music")); }
    std::unique_ptr<TfrmMain> openWindow(const QStringList &names);

    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestMainSearch::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(QDir().mkdir(music()));
}

void TestMainSearch::cleanup()
{
    m_dir.reset();
}

std::unique_ptr<TfrmMain> TestMainSearch::openWindow(const QStringList &names)
{
    for (const QString &name : names)
        writeBytes(music() + QLatin1Char('/') + name, QByteArray(1000, '\0'));
    const QString settings = m_dir->filePath(QStringLiteral("discora.INI"));
    writeBytes(settings, "[MP3]\r\nDirectory=" + music().toUtf8() + "\r\n");
    auto window = std::make_unique<TfrmMain>(settings);
    window->show();
    window->activateWindow();
    if (!QTest::qWaitForWindowActive(window.get()))
        qWarning("main window did not become active");
    if (!QTest::qWaitFor([&] { return window->songs().RowCount() == names.size() + 1; }))
        qWarning("the first scan did not list the songs");
    return window;
}

namespace
{

const QStringList kSongs = {
    "Abba-Zandor Nights.mp3", // 1
    "Merel-Lantern.mp3", // 2
    "Zandor-Daylight.mp3", // 3
    "Zandor-Harbour.mp3", // 4
    "Zoe-Ärger.mp3", // 5
};

} // namespace

void TestMainSearch::findSteps_data()
{
    // Each step presses Enter in the search field ("enter"), clicks the find
    // button ("button") or presses Enter on it ("enter-on-button"); after it
    // the current row, the button's caption and the number of beeps so far.
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QList<int>>("rows");
    QTest::addColumn<QStringList>("captions");
    QTest::addColumn<QList<int>>("beeps");
    QTest::newRow("steps-through-and-wraps")
        << "zandor" << QStringList { "enter", "enter", "enter", "enter", "enter" }
        << QList<int> { 1, 3, 3, 1, 3 }
        << QStringList { "&Find next", "&Find next", "&Find first", "&Find next", "&Find next" }
        << QList<int> { 0, 0, 1, 1, 1 };
    QTest::newRow("button-same-as-enter")
        << "zandor" << QStringList { "button", "button", "button" } << QList<int> { 1, 3, 3 }
        << QStringList { "&Find next", "&Find next", "&Find first" } << QList<int> { 0, 0, 1 };
    QTest::newRow("enter-on-focused-button")
        << "zandor" << QStringList { "enter-on-button", "enter-on-button", "enter-on-button" }
        << QList<int> { 1, 3, 3 } << QStringList { "&Find next", "&Find next", "&Find first" }
        << QList<int> { 0, 0, 1 };
    QTest::newRow("one-row-per-press-however-many-cells")
        << "a" << QStringList { "enter", "enter" } << QList<int> { 1, 2 }
        << QStringList { "&Find next", "&Find next" } << QList<int> { 0, 0 };
    QTest::newRow("umlaut-only-exact") << "ärger" << QStringList { "enter" } << QList<int> { 2 }
                                       << QStringList { "&Find first" } << QList<int> { 1 };
    QTest::newRow("umlaut-exact") << "Ärg" << QStringList { "enter" } << QList<int> { 5 }
                                  << QStringList { "&Find next" } << QList<int> { 0 };
    QTest::newRow("empty-enter-beeps") << "" << QStringList { "enter" } << QList<int> { 2 }
                                       << QStringList { "&Find first" } << QList<int> { 1 };
}

void TestMainSearch::findSteps()
{
    QFETCH(QString, text);
    QFETCH(QStringList, steps);
    QFETCH(QList<int>, rows);
    QFETCH(QStringList, captions);
    QFETCH(QList<int>, beeps);
    auto window = openWindow(kSongs);
    window->sgrMusic->setRow(2);
    window->edtFind->setFocus();
    // Typed in one go (the test keyboard knows no letters beyond ASCII).
    window->edtFind->insert(text);
    QCOMPARE(window->bbtFind->isEnabled(), !text.isEmpty());
    for (int i = 0; i < steps.size(); ++i) {
        if (steps[i] == u"enter") {
            QTest::keyClick(window->edtFind, Qt::Key_Return);
        } else if (steps[i] == u"enter-on-button") {
            window->bbtFind->setFocus(Qt::TabFocusReason);
            QTRY_VERIFY(window->bbtFind->hasFocus());
            QTest::keyClick(window->bbtFind, Qt::Key_Return);
        } else {
            QTest::mouseClick(window->bbtFind, Qt::LeftButton);
        }
        QCOMPARE(window->sgrMusic->Row(), rows[i]);
        QCOMPARE(window->bbtFind->text(), captions[i]);
        QCOMPARE(window->search().beeps(), beeps[i]);
        QCOMPARE(window->edtFind->text(), text);
    }
}

void TestMainSearch::findFieldKeys_data()
{
    // 40 songs; the search field holds "abc" with the caret after "a".
    QTest::addColumn<int>("startRow");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("caret");
    QTest::addColumn<bool>("navigated");
    const int none = Qt::NoModifier, ctrl = Qt::ControlModifier, shift = Qt::ShiftModifier,
              alt = Qt::AltModifier;
    QTest::newRow("page-up-from-10") << 10 << int(Qt::Key_PageUp) << none << 1 << 1 << true;
    QTest::newRow("page-up-from-20") << 20 << int(Qt::Key_PageUp) << none << 5 << 1 << true;
    QTest::newRow("page-down-from-1") << 1 << int(Qt::Key_PageDown) << none << 16 << 1 << true;
    QTest::newRow("page-down-from-30") << 30 << int(Qt::Key_PageDown) << none << 40 << 1 << true;
    QTest::newRow("page-down-on-last") << 40 << int(Qt::Key_PageDown) << none << 40 << 1 << true;
    QTest::newRow("alt-page-down") << 1 << int(Qt::Key_PageDown) << alt << 16 << 1 << true;
    QTest::newRow("up") << 5 << int(Qt::Key_Up) << none << 4 << 1 << true;
    QTest::newRow("up-on-first") << 1 << int(Qt::Key_Up) << none << 1 << 1 << true;
    QTest::newRow("down") << 5 << int(Qt::Key_Down) << none << 6 << 1 << true;
    QTest::newRow("shift-down") << 5 << int(Qt::Key_Down) << shift << 6 << 1 << true;
    QTest::newRow("down-on-last") << 40 << int(Qt::Key_Down) << none << 40 << 1 << true;
    QTest::newRow("ctrl-home") << 20 << int(Qt::Key_Home) << ctrl << 1 << 1 << true;
    QTest::newRow("ctrl-end") << 20 << int(Qt::Key_End) << ctrl << 40 << 1 << true;
    QTest::newRow("home-alone-moves-caret") << 20 << int(Qt::Key_Home) << none << 20 << 0 << false;
    QTest::newRow("end-alone-moves-caret") << 20 << int(Qt::Key_End) << none << 20 << 3 << false;
    QTest::newRow("shift-home-selects-in-field") << 20 << int(Qt::Key_Home) << shift << 20 << 0 << false;
    QTest::newRow("ctrl-shift-end-not-ours") << 20 << int(Qt::Key_End) << (ctrl | shift) << 20 << 1 << false;
    QTest::newRow("ctrl-alt-home-not-ours") << 20 << int(Qt::Key_Home) << (ctrl | alt) << 20 << 1 << false;
    QTest::newRow("left-goes-to-field") << 20 << int(Qt::Key_Left) << none << 20 << 0 << false;
    QTest::newRow("right-goes-to-field") << 20 << int(Qt::Key_Right) << none << 20 << 2 << false;
}

void TestMainSearch::findFieldKeys()
{
    QFETCH(int, startRow);
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(int, row);
    QFETCH(int, caret);
    QFETCH(bool, navigated);
    QStringList names;
    for (int i = 1; i <= 40; ++i)
        names << QStringLiteral("Band-Song %1.mp3").arg(i, 2, 10, QLatin1Char('0'));
    auto window = openWindow(names);
    window->edtFind->setFocus();
    window->edtFind->setText(QStringLiteral("abc"));
    window->edtFind->setCursorPosition(1);
    window->sgrMusic->setRow(startRow);
    QTest::keyClick(window->edtFind, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    QCOMPARE(window->sgrMusic->Row(), row);
    QCOMPARE(window->edtFind->cursorPosition(), caret);
    QCOMPARE(window->edtFind->text(), QStringLiteral("abc"));
    QCOMPARE(window->search().keyNavigation(), navigated);
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(window->edtFind));
}

void TestMainSearch::enterPlaysAfterKeysThenSearches()
{
    StubLauncher stub;
    auto window = openWindow(kSongs);
    window->sgrMusic->setRow(1);
    window->edtFind->setFocus();
    QTest::keyClicks(window->edtFind, QStringLiteral("Zandor"));
    QTest::keyClick(window->edtFind, Qt::Key_Down);
    QTest::keyClick(window->edtFind, Qt::Key_Return);
    // The song of row 2 is played, the text selected to be typed over.
    QTRY_COMPARE(stub.calls(), 1);
    QCOMPARE(stub.arguments(), QFile::encodeName(music()) + "/Merel-Lantern.mp3" + '\0');
    QCOMPARE(window->edtFind->selectedText(), QStringLiteral("Zandor"));
    QCOMPARE(window->sgrMusic->Row(), 2);
    QVERIFY(!window->search().keyNavigation());
    // The next Enter searches again, from the top.
    QTest::keyClick(window->edtFind, Qt::Key_Return);
    QCOMPARE(window->sgrMusic->Row(), 1);
    QCOMPARE(window->bbtFind->text(), QStringLiteral("&Find next"));
    QCOMPARE(window->edtFind->selectedText(), QStringLiteral("Zandor"));
    QCOMPARE(stub.calls(), 1);
    // Typing replaces the selected text and starts over.
    QTest::keyClicks(window->edtFind, QStringLiteral("Merel"));
    QCOMPARE(window->edtFind->text(), QStringLiteral("Merel"));
    QTRY_COMPARE(window->commands().launcher().running(), 0);
}

void TestMainSearch::textChangeStartsOver()
{
    auto window = openWindow(kSongs);
    window->edtFind->setFocus();
    QTest::keyClicks(window->edtFind, QStringLiteral("zando"));
    QTest::keyClick(window->edtFind, Qt::Key_Return);
    QTest::keyClick(window->edtFind, Qt::Key_Return);
    QCOMPARE(window->sgrMusic->Row(), 3);
    QCOMPARE(window->search().searchStartRow(), 4);
    QTest::keyClick(window->edtFind, Qt::Key_Down);
    QVERIFY(window->search().keyNavigation());
    // One more letter: the search starts at the top again.
    QTest::keyClicks(window->edtFind, QStringLiteral("r"));
    QCOMPARE(window->bbtFind->text(), QStringLiteral("&Find first"));
    QVERIFY(!window->search().keyNavigation());
    QTest::keyClick(window->edtFind, Qt::Key_Return);
    QCOMPARE(window->sgrMusic->Row(), 1);
    // Emptied: the button is off, and a refresh keeps the start row.
    window->edtFind->clear();
    QVERIFY(!window->bbtFind->isEnabled());
    QCOMPARE(window->bbtFind->text(), QStringLiteral("&Find first"));
    window->edtFind->setText(QStringLiteral("zandor"));
    window->ButtonsClick(window->bbtFind);
    window->RefreshList(true);
    QCOMPARE(window->search().searchStartRow(), 2);
    QCOMPARE(window->bbtFind->text(), QStringLiteral("&Find next"));
}

void TestMainSearch::artistClick_data()
{
    QTest::addColumn<QString>("artist");
    QTest::addColumn<int>("row");
    QTest::newRow("own-first-row") << "Merel" << 2;
    QTest::newRow("earlier-title-holds-name") << "Zandor" << 1;
    QTest::newRow("last-artist") << "Zoe" << 5;
}

void TestMainSearch::artistClick()
{
    QFETCH(QString, artist);
    QFETCH(int, row);
    auto window = openWindow(kSongs);
    window->sgrMusic->setRow(4);
    const int index = window->cbxArtist->findText(artist);
    QVERIFY(index >= 0);
    window->cbxArtist->setFocus();
    // Choosing with the keyboard, as a user does in a closed list.
    window->cbxArtist->setCurrentIndex(index == 0 ? 1 : index - 1);
    QTest::keyClick(window->cbxArtist, index == 0 ? Qt::Key_Up : Qt::Key_Down);
    QCOMPARE(window->cbxArtist->currentText(), artist);
    QCOMPARE(window->sgrMusic->Row(), row);
    QCOMPARE(window->edtFind->text(), QString());
    QVERIFY(!window->bbtFind->isEnabled());
    QCOMPARE(window->bbtFind->text(), QStringLiteral("&Find first"));
    QCOMPARE(window->search().searchStartRow(), 1);
}

QTEST_MAIN(TestMainSearch)
#include "tst_MainSearch.moc"
