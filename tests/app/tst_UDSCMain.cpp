// The main window on the offscreen platform: its layout, settings
// read at creation and written at close, activation counted only between
// our own windows, the error box, scans that do not run inside each other,
// the status bar and the colours of marked rows.

#include "FolderWatch.h"
#include "LiveWindow.h"
#include "MSG_Func.h"
#include "ModalDriver.h"
#include "MovesLog.h"
#include "MusicGrid.h"
#include "QLXApplication.h"
#include "QLXError.h"
#include "StatusBar.h"
#include "TestSupport.h"
#include "UDSCMain.h"
#include "UQLXStd.h"

#include <QComboBox>
#include <QDialog>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <utility>

using TestSupport::readBytes;
using TestSupport::writeBytes;

namespace
{

// Writes past limit bytes from a file's start fail with EFBIG while it
// lives, as they do on a disk that is full, for root too.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(qint64 limit)
    {
        ::signal(SIGXFSZ, SIG_IGN);
        m_set = ::getrlimit(RLIMIT_FSIZE, &m_old) == 0;
        rlimit lower = m_old;
        lower.rlim_cur = rlim_t(limit);
        m_set = m_set && ::setrlimit(RLIMIT_FSIZE, &lower) == 0;
    }
    ~FileSizeLimit() { lift(); }
    bool isSet() const { return m_set; }
    void lift()
    {
        if (std::exchange(m_set, false))
            ::setrlimit(RLIMIT_FSIZE, &m_old);
    }

private:
    rlimit m_old {};
    bool m_set = false;
};

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void layout_data();
    void layout();
    void captionAndHeaders();
    void firstRunPositionAndSettings();
    void badTopShownOnceNothingLost();
    void readOnlySettingsAtClose();
    void errorText_data();
    void errorText();
    void activationBetweenOwnWindowsOnly();
    void scanRequestedDuringScanRunsAfterIt_data();
    void scanRequestedDuringScanRunsAfterIt();
    void closeDuringScanWaits();
    void statusBarFollowsSelection();
    void statusBarEmptyGrid();
    void statusBarShowsHintUnderMouse();
    void rowColours_data();
    void rowColours();
    void aboutShowsProgramInformation();
    void chooseFolder_data();
    void chooseFolder();
    void movesLogUnwritable_data();
    void movesLogUnwritable();

private:
    QString settingsPath() const { return m_dir->filePath(QStringLiteral("discora.INI")); }
    QString music() const { return m_dir->filePath(QStringLiteral("music")); }
    void addSongs(const QStringList &names);
    std::unique_ptr<TfrmMain> openWindow();
    // More songs than the scan shows before it yields.
    std::unique_ptr<TfrmMain> openWindowWith25Songs();

    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestMainWindow::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(QDir().mkdir(music()));
}

void TestMainWindow::cleanup()
{
    m_dir.reset();
}

void TestMainWindow::addSongs(const QStringList &names)
{
    for (const QString &name : names)
        writeBytes(music() + QLatin1Char('/') + name, QByteArray(1000, '\0'));
    writeBytes(settingsPath(), "[MP3]\r\nDirectory=" + music().toUtf8() + "\r\n");
}

std::unique_ptr<TfrmMain> TestMainWindow::openWindow()
{
    auto window = std::make_unique<TfrmMain>(settingsPath());
    window->show();
    window->activateWindow();
    if (!QTest::qWaitForWindowActive(window.get()))
        qWarning("main window did not become active");
    return window;
}

std::unique_ptr<TfrmMain> TestMainWindow::openWindowWith25Songs()
{
    QStringList names;
    for (int i = 0; i < 25; ++i)
        names << QStringLiteral("Band-Song %1.mp3").arg(i, 2, 10, QLatin1Char('0'));
    addSongs(names);
    auto window = openWindow();
    if (!QTest::qWaitFor([&] { return window->songs().RowCount() == 26; }))
        qWarning("the first scan did not list the 25 songs");
    return window;
}

void TestMainWindow::layout_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("rect");
    QTest::newRow("pnlSpaceBar") << "pnlSpaceBar" << QRect(0, 0, 681, 4);
    QTest::newRow("tlbButtons") << "tlbButtons" << QRect(0, 4, 681, 31);
    QTest::newRow("spbExit") << "spbExit" << QRect(9, 2, 88, 24);
    QTest::newRow("spbRefresh") << "spbRefresh" << QRect(97, 2, 88, 24);
    QTest::newRow("spbAbout") << "spbAbout" << QRect(185, 2, 88, 24);
    QTest::newRow("spbPlay") << "spbPlay" << QRect(273, 2, 88, 24);
    QTest::newRow("spbDetails") << "spbDetails" << QRect(361, 2, 88, 24);
    QTest::newRow("spbStats") << "spbStats" << QRect(449, 2, 88, 24);
    QTest::newRow("spbFolder") << "spbFolder" << QRect(537, 2, 88, 24);
    QTest::newRow("sgrMusic") << "sgrMusic" << QRect(8, 40, 664, 292);
    QTest::newRow("edtFind") << "edtFind" << QRect(8, 336, 268, 24);
    QTest::newRow("bbtFind") << "bbtFind" << QRect(280, 337, 81, 24);
    QTest::newRow("bxlTime") << "bxlTime" << QRect(422, 336, 60, 24);
    QTest::newRow("bxlSize") << "bxlSize" << QRect(482, 336, 102, 24);
    QTest::newRow("cbxArtist") << "cbxArtist" << QRect(8, 362, 269, 24);
    QTest::newRow("bbtCurrent") << "bbtCurrent" << QRect(281, 363, 80, 24);
    QTest::newRow("stbStatus") << "stbStatus" << QRect(0, 393, 681, 23);
}

void TestMainWindow::layout()
{
    QFETCH(QString, name);
    QFETCH(QRect, rect);
    TfrmMain window(settingsPath());
    auto *control = window.findChild<QWidget *>(name);
    QVERIFY(control);
    QCOMPARE(control->geometry(), rect);
    QCOMPARE(window.size(), QSize(681, 416));
    QCOMPARE(window.minimumSize(), window.maximumSize());
}

void TestMainWindow::captionAndHeaders()
{
    TfrmMain window(settingsPath());
    QCOMPARE(window.windowTitle(), QStringLiteral("Discora 1.5"));
    QCOMPARE(TQLXApplication::Title(), QStringLiteral("Discora 1.5"));
    const QStringList expected = { "Artist", "Title", " Time", " Size", " Year", "Count", "?" };
    for (int c = 0; c < 7; ++c)
        QCOMPARE(window.songs().Cells(c, 0), expected[c]);
    QCOMPARE(window.songs().RowCount(), 20);
    QCOMPARE(window.sgrMusic->Row(), 19);
    QCOMPARE(window.bbtFind->text(), QStringLiteral("&Find first"));
    QVERIFY(!window.bbtFind->isEnabled());
    QCOMPARE(window.spbRefresh->toolTip(), QStringLiteral("Refresh list and totals."));
    QVERIFY(window.tmrRefresh->isActive());
    QCOMPARE(window.tmrRefresh->interval(), 60000);
    // Tab order: grid, search field, find button, artist list, Current.
    QWidget *next = window.sgrMusic->nextInFocusChain();
    while (window.sgrMusic->isAncestorOf(next))
        next = next->nextInFocusChain();
    QCOMPARE(next, static_cast<QWidget *>(window.edtFind));
    QCOMPARE(window.edtFind->nextInFocusChain(), static_cast<QWidget *>(window.bbtFind));
}

void TestMainWindow::firstRunPositionAndSettings()
{
    {
        auto window = openWindow();
        QCOMPARE(window->pos(), QPoint(309, 112));
        QCOMPARE(window->settings().Directory, QCoreApplication::applicationDirPath().toUtf8());
        window->move(50, 60);
        QVERIFY(window->close());
    }
    const QByteArray program = QCoreApplication::applicationDirPath().toUtf8();
    QCOMPARE(readBytes(settingsPath()),
        "[Coordinates]\r\nTop=60\r\nLeft=50\r\n[MP3]\r\nDirectory=" + program + "\r\nINI_Directory=" + program
            + "\r\n");
}

void TestMainWindow::badTopShownOnceNothingLost()
{
    writeBytes(settingsPath(),
        "[Coordinates]\r\nTop=abc\r\nLeft=20\r\n[MP3]\r\nDirectory=" + music().toUtf8()
            + "/\r\nINI_Directory=/somewhere/info\r\n");
    BoxWatcher boxes;
    {
        auto window = openWindow();
        QTRY_COMPARE(boxes.texts.size(), 1);
        QCOMPARE(boxes.texts[0], QStringLiteral("Discora 1.5 | 'abc' is not a valid integer value."));
        QCOMPARE(window->pos(), QPoint(20, 112));
        QCOMPARE(window->settings().Directory, music().toUtf8());
        QVERIFY(window->close());
    }
    QTest::qWait(50);
    QCOMPARE(boxes.texts.size(), 1);
    QCOMPARE(readBytes(settingsPath()),
        "[Coordinates]\r\nTop=112\r\nLeft=20\r\n[MP3]\r\nDirectory=" + music().toUtf8()
            + "\r\nINI_Directory=/somewhere/info\r\n");
}

void TestMainWindow::readOnlySettingsAtClose()
{
    const QByteArray before = "[MP3]\r\nDirectory=" + music().toUtf8() + "\r\n";
    writeBytes(settingsPath(), before);
    QVERIFY(::chmod(QFile::encodeName(settingsPath()).constData(), 0444) == 0);
    BoxWatcher boxes;
    auto window = openWindow();
    window->move(10, 10);
    QVERIFY(window->close());
    QVERIFY(!window->isVisible());
    QCOMPARE(boxes.texts,
        QStringList({ QStringLiteral("Discora 1.5 | Unable to write to %1.").arg(settingsPath()) }));
    QCOMPARE(readBytes(settingsPath()), before);
}

void TestMainWindow::errorText_data()
{
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("text");
    QTest::newRow("adds-full-stop") << "'x' is not a valid integer value"
                                    << "'x' is not a valid integer value.";
    QTest::newRow("keeps-full-stop") << "'1-1-99' is not a valid date."
                                     << "'1-1-99' is not a valid date.";
    QTest::newRow("path-with-dot") << "Unable to write to /a/b.INI"
                                   << "Unable to write to /a/b.INI.";
    QTest::newRow("empty") << ""
                           << "";
}

void TestMainWindow::errorText()
{
    QFETCH(QString, message);
    QFETCH(QString, text);
    QCOMPARE(TQLXApplication::ErrorText(message), text);
}

void TestMainWindow::activationBetweenOwnWindowsOnly()
{
    addSongs({ "A-One.mp3" });
    auto window = openWindow();
    QTRY_COMPARE(window->activations(), 1);
    QCOMPARE(window->deactivations(), 0);
    QVERIFY(window->tmrRefresh->isActive());

    // A modal dialog of ours: one deactivation as it opens, one activation
    // as it closes, and the timer off in between.
    auto dialogOpenedAndClosed = [&](int activations, int deactivations) {
        bool timerWhileOpen = true;
        int deactivationsWhileOpen = -1;
        QTimer::singleShot(50, this, [&] {
            auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            timerWhileOpen = window->tmrRefresh->isActive();
            deactivationsWhileOpen = window->deactivations();
            dialog->accept();
        });
        QDialog dialog(window.get());
        dialog.exec();
        // A window manager gives the focus back to the main window; the
        // offscreen platform leaves that to us.
        window->activateWindow();
        QTRY_COMPARE(window->activations(), activations);
        QCOMPARE(deactivationsWhileOpen, deactivations);
        QVERIFY(!timerWhileOpen);
        QCOMPARE(window->deactivations(), deactivations);
        QVERIFY(window->tmrRefresh->isActive());
    };
    dialogOpenedAndClosed(2, 1);
    if (QTest::currentTestFailed())
        return;

    // Another program takes the focus and gives it back: neither counts,
    // and the timer keeps running.
    QApplication::setActiveWindow(nullptr);
    QVERIFY(window->tmrRefresh->isActive());
    QApplication::setActiveWindow(window.get());
    QTest::qWait(20);
    QCOMPARE(window->activations(), 2);
    QCOMPARE(window->deactivations(), 1);
    QVERIFY(window->tmrRefresh->isActive());

    // After that, our own dialog counts again, exactly as before.
    dialogOpenedAndClosed(3, 2);
}

void TestMainWindow::scanRequestedDuringScanRunsAfterIt_data()
{
    // What happens while the scan yields: "refresh" clicked, the window
    // "deactivated" for another window of ours (which asks for a light scan).
    QTest::addColumn<QStringList>("during");
    QTest::newRow("refresh-clicked") << QStringList { "refresh" };
    QTest::newRow("refresh-clicked-then-window-deactivated") << QStringList { "refresh", "deactivated" };
}

void TestMainWindow::scanRequestedDuringScanRunsAfterIt()
{
    QFETCH(QStringList, during);
    auto window = openWindowWith25Songs();
    QWidget other;
    other.setWindowTitle(QStringLiteral("another window of ours"));
    const int deactivations = window->deactivations();

    // A click handled while the scan yields asks for a full scan: it must not
    // run on the list the running scan is working on, but after it, whatever
    // is asked for after the click.
    bool scanningAtClick = false;
    int rowsAtClick = -1;
    QTimer::singleShot(0, window.get(), [&] {
        scanningAtClick = window->isScanning();
        writeBytes(music() + QStringLiteral("/Band-Song 99.mp3"), "x");
        for (const QString &step : during) {
            if (step == QLatin1String("refresh")) {
                window->ButtonsClick(window->spbRefresh);
            } else {
                other.show();
                other.activateWindow();
                QVERIFY(QTest::qWaitForWindowActive(&other));
            }
        }
        rowsAtClick = window->songs().RowCount();
    });
    window->RefreshList(true);
    QVERIFY(scanningAtClick);
    QCOMPARE(rowsAtClick, 26);
    QCOMPARE(window->deactivations() - deactivations, int(during.count(QStringLiteral("deactivated"))));
    QCOMPARE(window->songs().RowCount(), 27);
    QCOMPARE(window->songs().Cells(1, 26), QStringLiteral("Song 99"));
    QVERIFY(!window->isScanning());
}

void TestMainWindow::closeDuringScanWaits()
{
    auto window = openWindowWith25Songs();
    bool closedInside = true;
    QTimer::singleShot(0, window.get(), [&] { closedInside = window->close(); });
    window->RefreshList(true);
    QVERIFY(!closedInside);
    QCOMPARE(window->songs().Cells(1, 25), QStringLiteral("Song 24"));
    QTRY_VERIFY(!window->isVisible());
    QVERIFY(readBytes(settingsPath()).contains("[Coordinates]"));
}

void TestMainWindow::statusBarFollowsSelection()
{
    addSongs({ "Merel-Lantern.mp3", "Zandor-Daylight.mp3", "Zandor-Harbour.mp3", "Zandor-Quiet.mp3" });
    auto window = openWindow();
    QLabel *panel0 = window->stbStatus->Panels[0];
    QLabel *panel1 = window->stbStatus->Panels[1];
    QTRY_COMPARE(panel1->text(), QStringLiteral("1 / 4"));
    QCOMPARE(panel0->text(), QStringLiteral(" Merel - Lantern"));
    // The artist list holds each run's artist once and shows the first.
    QCOMPARE(window->cbxArtist->count(), 2);
    QCOMPARE(window->cbxArtist->itemText(1), QStringLiteral("Zandor"));
    QCOMPARE(window->cbxArtist->currentText(), QStringLiteral("Merel"));

    window->sgrMusic->setFocus();
    QTest::keyClick(window->sgrMusic, Qt::Key_Down);
    QCOMPARE(panel0->text(), QStringLiteral(" Zandor - Daylight"));
    QCOMPARE(panel1->text(), QStringLiteral("2 / 4"));
    QTest::keyClick(window->sgrMusic, Qt::Key_End);
    QCOMPARE(panel1->text(), QStringLiteral("4 / 4"));
    QTest::keyClick(window->sgrMusic, Qt::Key_Home);
    QCOMPARE(panel0->text(), QStringLiteral(" Merel - Lantern"));
    QTest::keyClick(window->sgrMusic, Qt::Key_PageDown);
    QCOMPARE(panel0->text(), QStringLiteral(" Zandor - Quiet"));
    QCOMPARE(panel1->text(), QStringLiteral("4 / 4"));

    // A click on a row inside the artist's run takes the artist from the
    // group's first row.
    const QRect cell = window->sgrMusic->visualRect(window->songs().index(2, 1));
    QTest::mouseClick(window->sgrMusic->viewport(), Qt::LeftButton, {}, cell.center());
    QCOMPARE(window->sgrMusic->Row(), 3);
    QCOMPARE(panel0->text(), QStringLiteral(" Zandor - Harbour"));
    QCOMPARE(panel1->text(), QStringLiteral("3 / 4"));
    QCOMPARE(window->sgrMusic->Hint, QStringLiteral("|Zandor - Harbour"));
}

void TestMainWindow::statusBarEmptyGrid()
{
    addSongs({});
    auto window = openWindow();
    QTRY_COMPARE(window->songs().RowCount(), 1);
    QCOMPARE(window->stbStatus->Panels[1]->text().section(QStringLiteral(" / "), 1), QStringLiteral("0"));
    QCOMPARE(window->bxlTime->Caption(), QStringLiteral("00:00 hr"));
    QCOMPARE(window->bxlSize->Caption(), QStringLiteral("    0.0 MB"));
    QCOMPARE(window->cbxArtist->count(), 0);
}

void TestMainWindow::statusBarShowsHintUnderMouse()
{
    addSongs({ "Zandor-Daylight.mp3" });
    auto window = openWindow();
    QLabel *panel0 = window->stbStatus->Panels[0];
    QTRY_COMPARE(panel0->text(), QStringLiteral(" Zandor - Daylight"));
    QTest::mouseMove(window->spbRefresh);
    QTRY_COMPARE(panel0->text(), QStringLiteral(" Refresh list and totals."));
    QTest::mouseMove(window.get(), QPoint(600, 350));
    QTRY_COMPARE(panel0->text(), QStringLiteral(" Zandor - Daylight"));
}

void TestMainWindow::rowColours_data()
{
    QTest::addColumn<bool>("played");
    QTest::addColumn<bool>("playing");
    QTest::addColumn<bool>("selected");
    QTest::addColumn<QColor>("text");
    const QColor silver(192, 192, 192), red(255, 0, 0);
    QTest::newRow("plain") << false << false << false << QColor(Qt::black);
    QTest::newRow("played") << true << false << false << silver;
    QTest::newRow("playing") << false << true << false << red;
    QTest::newRow("played-and-playing") << true << true << false << red;
    QTest::newRow("selected-played") << true << false << true << silver;
}

void TestMainWindow::rowColours()
{
    QFETCH(bool, played);
    QFETCH(bool, playing);
    QFETCH(bool, selected);
    QFETCH(QColor, text);
    addSongs({ "Aa-First.mp3", "Bb-Second.mp3" });
    auto window = openWindow();
    QTRY_COMPARE(window->songs().RowCount(), 3);
    TSongList &songs = window->songs();
    songs.setCellNow(1, 2, QStringLiteral("WWWWWWWW"));
    if (played)
        window->catalogue().playedList().add(QStringLiteral("wwwwwwww"));
    if (playing)
        songs.setCellNow(3, 2, QStringLiteral("Lock"));
    window->sgrMusic->setRow(selected ? 2 : 1);
    QPalette palette = window->sgrMusic->palette();
    palette.setColor(QPalette::Text, Qt::black);
    palette.setColor(QPalette::Base, Qt::white);
    palette.setColor(QPalette::Highlight, QColor(0, 0, 128));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    window->sgrMusic->setPalette(palette);

    const QRect cell = window->sgrMusic->visualRect(songs.index(1, 1));
    const QImage image = window->sgrMusic->viewport()->grab(cell).toImage();
    const QColor background = selected ? QColor(0, 0, 128) : QColor(Qt::white);
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            colours.insert(image.pixelColor(x, y).rgb());
    QVERIFY2(colours.contains(text.rgb()), "the title's text colour is not in the cell");
    QVERIFY(colours.contains(background.rgb()));
    for (const QColor other : { QColor(192, 192, 192), QColor(255, 0, 0), QColor(Qt::black) })
        if (other != text)
            QVERIFY2(!colours.contains(other.rgb()), qPrintable(other.name()));
}

void TestMainWindow::aboutShowsProgramInformation()
{
    addSongs({});
    auto window = openWindow();
    QCOMPARE(window->AppTitle, QStringLiteral("Discora 1.5"));
    QStringList seen;
    QTimer poll;
    connect(&poll, &QTimer::timeout, this, [&] {
        auto *about = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (!about || !seen.isEmpty())
            return;
        seen << about->windowTitle()
             << QString::number(about->frameGeometry().width()) + "x"
                + QString::number(about->frameGeometry().height());
        for (const char *name : { "lblName", "lblVersion" })
            if (auto *label = about->findChild<QLabel *>(QLatin1String(name)))
                seen << label->text() + (label->font().bold() ? " (bold)" : "");
        QTest::keyClick(about, Qt::Key_Return);
    });
    poll.start(10);
    window->spbAbout->click();
    QTRY_VERIFY(!seen.isEmpty());
    QTRY_VERIFY(QApplication::activeModalWidget() == nullptr);
    QCOMPARE(seen,
        QStringList({ "Program information", "385x214", "Discora (bold)", "version: 1.5  (14-01-2001)" }));
}

void TestMainWindow::chooseFolder_data()
{
    // %A: the music folder at the start, %B: the one chosen, %I: a song
    // information folder of the user's own. choice: a folder picked in the
    // chooser, the root folder picked, the chooser cancelled, or a folder
    // that is gone by the time it is used.
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QString>("choice");
    QTest::addColumn<QByteArray>("after");
    QTest::addColumn<QString>("error");
    // The chosen folder also holds a song in a subfolder: the answer to the
    // question that asks whether to list it ("" for no question).
    QTest::addColumn<QString>("nested");

    const QByteArray kept = "; my notes\r\n[Coordinates]\r\nTop=5\r\nLeft=6\r\n[Viewer]\r\nWidth=500\r\n";
    QTest::newRow("information-folder-follows")
        << kept + "[MP3]\r\nDirectory=%A\r\n"
        << "pick" << kept + "[MP3]\r\nDirectory=%B\r\nINI_Directory=%B\r\n"
        << ""
        << "";
    QTest::newRow("information-folder-was-the-music-folder")
        << kept + "[MP3]\r\nDirectory=%A\r\nINI_Directory=%A\r\n"
        << "pick" << kept + "[MP3]\r\nDirectory=%B\r\nINI_Directory=%B\r\n"
        << ""
        << "";
    QTest::newRow("information-folder-elsewhere-kept")
        << kept + "[MP3]\r\nDirectory=%A\r\nINI_Directory=%I\r\n"
        << "pick" << kept + "[MP3]\r\nDirectory=%B\r\nINI_Directory=%I\r\n"
        << ""
        << "";
    QTest::newRow("root-folder") << kept + "[MP3]\r\nDirectory=%A\r\n"
                                 << "root" << kept + "[MP3]\r\nDirectory=/\r\nINI_Directory=/\r\n"
                                 << ""
                                 << "";
    QTest::newRow("cancelled") << kept + "[MP3]\r\nDirectory=%A\r\n"
                               << "cancel" << kept + "[MP3]\r\nDirectory=%A\r\n"
                               << ""
                               << "";
    QTest::newRow("folder-cannot-be-listed") << kept + "[MP3]\r\nDirectory=%A\r\n"
                                             << "gone" << kept + "[MP3]\r\nDirectory=%A\r\n"
                                             << "Unable to read %B: No such file or directory"
                                             << "";
    // Every song below it, with the kind kept beside the folders; or its
    // MP3 files alone, as before.
    QTest::newRow("songs-below-listed")
        << kept + "[MP3]\r\nDirectory=%A\r\n"
        << "pick" << kept + "[MP3]\r\nDirectory=%B\r\nINI_Directory=%B\r\nLibrary=Tree\r\n"
        << ""
        << "&Yes";
    QTest::newRow("songs-below-left-out") << kept + "[MP3]\r\nDirectory=%A\r\n"
                                          << "pick" << kept + "[MP3]\r\nDirectory=%B\r\nINI_Directory=%B\r\n"
                                          << ""
                                          << "&No";
}

void TestMainWindow::chooseFolder()
{
    QFETCH(QByteArray, before);
    QFETCH(QString, choice);
    QFETCH(QByteArray, after);
    QFETCH(QString, error);
    QFETCH(QString, nested);
    const QString a = music();
    const QString b = m_dir->filePath(QStringLiteral("other music"));
    const QString info = m_dir->filePath(QStringLiteral("info"));
    QVERIFY(QDir().mkdir(b) && QDir().mkdir(info));
    writeBytes(a + QStringLiteral("/Aa-Old.mp3"), "x");
    writeBytes(b + QStringLiteral("/Bb-New.mp3"), "x");
    writeBytes(b + QStringLiteral("/Cc-Other.mp3"), "x");
    if (!nested.isEmpty()) {
        QVERIFY(QDir().mkpath(b + QStringLiteral("/Dd/Deep")));
        writeBytes(b + QStringLiteral("/Dd/Deep/Dd-Below.mp3"), "x");
    }
    auto expand = [&](QByteArray text) {
        return text.replace("%A", a.toUtf8()).replace("%B", b.toUtf8()).replace("%I", info.toUtf8());
    };
    writeBytes(settingsPath(), expand(before));
    auto window = openWindow();
    QTRY_COMPARE(window->songs().Cells(1, 1), QStringLiteral("Old"));
    window->catalogue().playedList().add(QStringLiteral("Old"));

    QString title, startedIn, asked;
    ModalDriver driver([&](QWidget *modal) {
        if (!qobject_cast<QFileDialog *>(modal)) {
            if (auto *box = qobject_cast<TMsgWindow *>(modal))
                asked = box->message();
            // (The root folder may hold songs below it too: left out.)
            for (QPushButton *button : modal->findChildren<QPushButton *>())
                if (button->text() == (nested.isEmpty() ? QStringLiteral("&No") : nested))
                    button->click();
            return;
        }
        if (auto *chooser = qobject_cast<QFileDialog *>(modal)) {
            title = chooser->windowTitle();
            startedIn = chooser->directory().absolutePath();
            if (choice == QLatin1String("cancel")) {
                chooser->reject();
                return;
            }
            chooser->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))
                ->setText(choice == QLatin1String("root") ? QStringLiteral("/") : b);
            if (choice == QLatin1String("gone"))
                QDir(b).removeRecursively();
            QMetaObject::invokeMethod(chooser, "accept");
        }
    });
    QString shown;
    if (choice == QLatin1String("gone")) {
        // The chooser itself refuses a folder that is not there; one that
        // goes (or cannot be read) after the choice meets the same check.
        QDir(b).removeRecursively();
        try {
            window->setMusicFolder(QFile::encodeName(b));
        } catch (const EQLXError &e) {
            shown = e.message();
        }
    } else {
        window->ButtonsClick(window->spbFolder);
        QCOMPARE(title, QStringLiteral("Choose the music folder"));
        QCOMPARE(startedIn, a);
    }
    QCOMPARE(shown, expand(error.toUtf8()));
    QCOMPARE(readBytes(settingsPath()), expand(after));
    const bool moved = choice == QLatin1String("pick") || choice == QLatin1String("root");
    const QByteArray folder
        = choice == QLatin1String("root") ? QByteArray("/") : QFile::encodeName(moved ? b : a);
    QTRY_VERIFY(!window->isScanning());
    QCOMPARE(window->catalogue().musicFolder(), folder);
    QCOMPARE(window->folderWatch()->folder(), folder);
    QCOMPARE(window->catalogue().playedList().count(), moved ? 0 : 1);
    if (choice == QLatin1String("root")) {
        // Whatever songs the root folder holds: not the old folder's.
        QVERIFY(window->songs().RowCount() < 2 || window->songs().Cells(1, 1) != QStringLiteral("Old"));
        return;
    }
    QCOMPARE(!asked.isEmpty(), !nested.isEmpty());
    QCOMPARE(asked.contains(QStringLiteral("holds 1 song in its subfolders")), !nested.isEmpty());
    const bool tree = nested == QLatin1String("&Yes");
    QCOMPARE(window->songs().RowCount(), moved ? (tree ? 4 : 3) : 2);
    QCOMPARE(window->songs().Cells(1, 1), moved ? QStringLiteral("New") : QStringLiteral("Old"));
    QCOMPARE(window->cbxArtist->count(), moved ? (tree ? 3 : 2) : 1);
}

void TestMainWindow::movesLogUnwritable_data()
{
    // The log of song information moved cannot be written while two songs
    // are renamed: a folder stands where it goes, or the disk is full from
    // the log's end on, or from a few bytes past it (a write stops half-way).
    // Then it can be written again, and another song is renamed, or Refresh
    // is clicked with nothing renamed.
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("then");
    QTest::newRow("log-path-a-folder") << "folder"
                                       << "rename";
    QTest::newRow("log-path-a-folder-then-refresh") << "folder"
                                                    << "refresh";
    QTest::newRow("disk-full") << "full"
                               << "rename";
    QTest::newRow("disk-full-half-way-through-a-write") << "half-way"
                                                        << "rename";
}

void TestMainWindow::movesLogUnwritable()
{
    QFETCH(QString, fault);
    QFETCH(QString, then);

    const QStringList names = { "A-One", "B-Two", "C-Three" };
    QStringList songs;
    for (const QString &name : names) {
        songs << name + ".mp3";
        writeBytes(music() + QLatin1Char('/') + name + ".INI", "[Info]\r\nUsageCount = 2\r\n");
    }
    addSongs(songs);
    const QString log = m_dir->filePath(QStringLiteral("discora.LOG"));
    QByteArray before;
    if (fault != QLatin1String("folder")) {
        for (int i = 0; i < 40; ++i)
            before += " 01-01-2020 10:00 Kept both: X.INI stays\r\n";
        writeBytes(log, before);
    }
    BoxWatcher boxes;
    auto window = OpenLiveWindow(settingsPath());
    QCOMPARE(window->movesLog()->logPath(), log);

    // Renames name's song as the user does and waits for the list to show
    // it. An error box that brings is answered, and the main window has the
    // focus again, as a window manager gives it back after a box (the
    // offscreen platform leaves that to us).
    const auto rename = [&](const QString &name) {
        const QString from = music() + QLatin1Char('/') + name;
        if (!QFile::rename(from + ".mp3", from + " (live).mp3"))
            return false;
        const QString title = name.section(QLatin1Char('-'), 1) + " (live)";
        const bool shown = QTest::qWaitFor([&] {
            if (window->isScanning() || QApplication::activeModalWidget())
                return false;
            for (int r = 1; r < window->songs().RowCount(); ++r)
                if (window->songs().Cells(1, r) == title)
                    return QFile::exists(from + " (live).INI");
            return false;
        });
        // A box is shown from the event loop.
        QCoreApplication::processEvents();
        if (!QTest::qWaitFor([] { return !QApplication::activeModalWidget(); }))
            return false;
        window->activateWindow();
        return QTest::qWaitForWindowActive(window.get()) && shown;
    };
    std::unique_ptr<FileSizeLimit> full;
    if (fault == QLatin1String("folder")) {
        QVERIFY(QDir().mkdir(log));
    } else {
        full = std::make_unique<FileSizeLimit>(before.size() + (fault == QLatin1String("full") ? 0 : 10));
        QVERIFY(full->isSet());
    }
    QVERIFY(rename(names[0]));
    QCOMPARE(boxes.texts.size(), 1);
    QVERIFY(rename(names[1]));

    if (full)
        full->lift();
    else
        QVERIFY(QDir().rmdir(log));
    QStringList logged = { "A-One.INI -> A-One (live).INI", "Song information moved for 1 song.",
        "B-Two.INI -> B-Two (live).INI", "Song information moved for 1 song." };
    if (then == QLatin1String("rename")) {
        QVERIFY(rename(names[2]));
        logged << "C-Three.INI -> C-Three (live).INI"
               << "Song information moved for 1 song.";
    } else {
        const int scans = window->scans();
        window->ButtonsClick(window->spbRefresh);
        QTRY_VERIFY(window->scans() > scans && !window->isScanning());
        QCoreApplication::processEvents();
    }

    // One box for the whole time the log could not be written.
    QCOMPARE(boxes.texts, QStringList { "Discora 1.5 | Unable to write to " + log + "." });
    // Nothing lost, nothing torn: what the log held, then every entry.
    const QByteArray bytes = readBytes(log);
    QVERIFY2(bytes.startsWith(before), bytes.constData());
    const QStringList lines = QString::fromUtf8(bytes.mid(before.size())).split(QStringLiteral("\r\n"));
    QCOMPARE(lines.size(), logged.size() + 1);
    QCOMPARE(lines.last(), QString());
    const QRegularExpression stamp(QStringLiteral("^ \\d\\d-\\d\\d-\\d{4} \\d\\d:\\d\\d $"));
    for (qsizetype i = 0; i < logged.size(); ++i) {
        QVERIFY2(stamp.match(lines[i].left(18)).hasMatch(), qPrintable(lines[i]));
        QCOMPARE(lines[i].mid(18), logged[i]);
    }
}

QTEST_MAIN(TestMainWindow)
#include "tst_UDSCMain.moc"
