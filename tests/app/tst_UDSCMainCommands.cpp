// The main window's Details, Statistics and Fill commands: the right mouse
// button opens the details of the selected row where the window asks for
// it, the statistics report is written from the grid beside the settings
// file, and filling from the song files can be cancelled between songs.

#include "FQLXLogF.h"
#include "ModalDriver.h"
#include "MusicGrid.h"
#include "QLXApplication.h"
#include "TestSupport.h"
#include "UDSCMain.h"
#include "UDSCSett.h"

#include <QAction>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <functional>
#include <sys/stat.h>

using TestSupport::readBytes;
using TestSupport::writeBytes;

class tst_UDSCMainCommands : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void rightClickOpensSelectedRow();
    void detailsWithEmptyList();
    void statisticsFromGrid();
    void statisticsUnwritable();
    void viewIniSharesGeometryWithStatistics();
    void fillCancelled_data();
    void fillCancelled();

private:
    QString path(const QString &name) const { return m_dir->filePath(name); }
    std::unique_ptr<TfrmMain> openWindow(int songs);
    std::unique_ptr<QTemporaryDir> m_dir;
};

void tst_UDSCMainCommands::init()
{
    m_dir = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/commandsXXXXXX"));
    QVERIFY(QDir().mkpath(path(QStringLiteral("prog"))));
    QVERIFY(QDir().mkpath(path(QStringLiteral("music"))));
    QVERIFY(QDir().mkpath(path(QStringLiteral("info"))));
}

std::unique_ptr<TfrmMain> tst_UDSCMainCommands::openWindow(int songs)
{
    const QStringList names { "Merel-Lente.mp3", "Zand-Daylight.mp3", "Zand-Nacht.mp3" };
    for (int i = 0; i < songs; ++i)
        writeBytes(path("music/" + names[i]), QByteArray(100, '\0'));
    writeBytes(path("info/Zand-Daylight.INI"), "[Info]\r\nLyrics = (words unclear)\r\n");
    writeBytes(path("info/Merel-Lente.INI"), "[Info]\r\nLyrics = Yes\r\n");
    writeBytes(path("prog/discora.INI"),
        ("[Coordinates]\r\nTop=0\r\nLeft=0\r\n[MP3]\r\nDirectory=" + path("music")
            + "\r\nINI_Directory=" + path("info") + "\r\n")
            .toUtf8());
    auto window = std::make_unique<TfrmMain>(path("prog/discora.INI"));
    window->show();
    window->activateWindow();
    if (!QTest::qWaitFor([&] { return window->songs().RowCount() == songs + 1 && !window->isScanning(); }))
        qWarning("the first scan did not list the songs");
    return window;
}

void tst_UDSCMainCommands::rightClickOpensSelectedRow()
{
    auto window = openWindow(3);
    window->sgrMusic->setRow(2);
    QString caption;
    QPoint at;
    QPoint mainAt;
    ModalDriver driver([&](QWidget *modal) {
        if (auto *d = qobject_cast<TfrmSettings *>(modal)) {
            caption = d->windowTitle();
            at = d->pos();
            mainAt = window->pos();
            d->memLyrics->setPlainText(QStringLiteral("Nu wel"));
            d->bbtOk->click();
        }
    });
    // Clicked on row 3; the details are those of the selected row 2.
    const QRect cell = window->sgrMusic->visualRect(window->songs().index(2, 1));
    QTest::mouseClick(window->sgrMusic->viewport(), Qt::RightButton, {}, cell.center());
    QTRY_COMPARE(caption, QStringLiteral("Details for:  Zand-Daylight"));
    QCOMPARE(at, mainAt + QPoint(16, 86));
    QCOMPARE(window->sgrMusic->Row(), 2);
    QTRY_VERIFY(readBytes(path("info/Zand-Daylight.INI"))
                    .endsWith("Lyrics     = Yes\r\n\r\n"
                              "; ******************************************\r\n"
                              "\r\nNu wel\r\n"));
}

void tst_UDSCMainCommands::detailsWithEmptyList()
{
    auto window = openWindow(0);
    bool shown = false;
    ModalDriver driver([&](QWidget *modal) {
        shown = true;
        static_cast<QDialog *>(modal)->reject();
    });
    window->spbDetails->click();
    QTest::qWait(200);
    QVERIFY(!shown);
    QCOMPARE(
        QDir(path("info")).entryList(QDir::Files), QStringList({ "Merel-Lente.INI", "Zand-Daylight.INI" }));
}

void tst_UDSCMainCommands::statisticsFromGrid()
{
    auto window = openWindow(3);
    // The report follows the grid, not the files on disk.
    writeBytes(path("info/Zand-Nacht.INI"), "[Info]\r\nLyrics = Yes\r\n");
    QString title;
    QStringList shown;
    bool clearShown = true;
    bool printShown = false;
    ModalDriver driver([&](QWidget *modal) {
        if (auto *viewer = qobject_cast<TfrmLogFile *>(modal)) {
            title = viewer->windowTitle();
            shown = viewer->lines();
            clearShown = viewer->bbtClear->isVisible();
            printShown = viewer->bbtPrint->isVisible() && viewer->bbtPrint->isEnabled();
        }
        modal->close();
    });
    window->spbStats->click();
    QCOMPARE(readBytes(path("prog/discora.TXT")),
        QByteArray("\r\n"
                   " Nummer of songs:     3\r\n"
                   " Without lyrics:      1\r\n"
                   " Unclear lyrics:      1\r\n"
                   " Instrumental:        0\r\n"
                   "\r\n"
                   "   Zand  Nacht\r\n"
                   " X Zand  Daylight\r\n"));
    QCOMPARE(title, QStringLiteral("Statistics"));
    QCOMPARE(shown.mid(5), QStringList({ "", "   Zand  Nacht", " X Zand  Daylight" }));
    QVERIFY(!clearShown);
    QVERIFY(printShown);
}

void tst_UDSCMainCommands::viewIniSharesGeometryWithStatistics()
{
    auto window = openWindow(3);
    window->sgrMusic->setRow(2);
    QString title;
    QStringList shown;
    QRect statisticsAt;
    const QRect placed(40, 30, 500, 400);
    ModalDriver details([&](QWidget *modal) {
        if (auto *d = qobject_cast<TfrmSettings *>(modal)) {
            d->memLyrics->setPlainText(QStringLiteral("not saved"));
            d->bbtINI->click();
            d->reject();
        }
    });
    // A timer does not fire again inside its own handler: the viewer that
    // opens from the dialog needs a driver of its own.
    ModalDriver viewers([&](QWidget *modal) {
        if (auto *viewer = qobject_cast<TfrmLogFile *>(modal)) {
            if (title.isEmpty()) {
                title = viewer->windowTitle();
                shown = viewer->lines();
                viewer->setGeometry(placed);
            } else {
                statisticsAt = viewer->geometry();
            }
            viewer->close();
        }
    });
    window->spbDetails->click();
    QCOMPARE(title, QStringLiteral("Zand-Daylight"));
    QCOMPARE(shown, QStringList({ "[Info]", "Lyrics = (words unclear)" }));
    window->spbStats->click();
    QCOMPARE(statisticsAt, placed);
    QVERIFY(readBytes(path("prog/discora.INI")).contains("[ViewFile-iloViewer]\r\n"));
}

void tst_UDSCMainCommands::statisticsUnwritable()
{
    auto window = openWindow(3);
    writeBytes(path("prog/discora.TXT"), "old report\r\n");
    QCOMPARE(::chmod(QFile::encodeName(path("prog")).constData(), 0555), 0);
    QStringList boxes;
    ModalDriver driver([&](QWidget *modal) {
        if (auto *box = qobject_cast<QMessageBox *>(modal)) {
            boxes << box->text();
            box->button(QMessageBox::Ok)->click();
        } else {
            boxes << QStringLiteral("viewer: ") + modal->windowTitle();
            modal->close();
        }
    });
    QTest::mouseClick(window->spbStats, Qt::LeftButton);
    QTRY_COMPARE(boxes, QStringList { "Unable to write to " + path("prog/discora.TXT") + "." });
    QTest::qWait(200);
    ::chmod(QFile::encodeName(path("prog")).constData(), 0755);
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(readBytes(path("prog/discora.TXT")), QByteArray("old report\r\n"));
}

void tst_UDSCMainCommands::fillCancelled_data()
{
    // Six tagged songs, A1 to A6 in the grid's order; Cancel pressed in the
    // progress window once that many were done (-1: never). A3's file is
    // complete already, so nothing is written to it.
    QTest::addColumn<int>("cancelAfter");
    QTest::addColumn<int>("filled");
    // Instead of Cancel, the songs not done yet are deleted and a full scan
    // runs while the progress window waits: the fill ends with the list.
    QTest::addColumn<bool>("removeRest");
    QTest::newRow("cancel-after-two") << 2 << 2 << false;
    QTest::newRow("cancel-after-the-complete-one") << 3 << 3 << false;
    QTest::newRow("cancel-after-five") << 5 << 5 << false;
    QTest::newRow("not-cancelled") << -1 << 6 << false;
    QTest::newRow("songs-removed-after-two") << 2 << 2 << true;
}

void tst_UDSCMainCommands::fillCancelled()
{
    QFETCH(int, cancelAfter);
    QFETCH(int, filled);
    QFETCH(bool, removeRest);

    const QByteArray sep = "; ******************************************";
    const QByteArray fields = "Writer=Björk Guðmundsdóttir\r\nPlaytime=00:01\r\nAlbumName=Homogenic\r\n"
                              "SongYear=1997\r\nAlbumYear=1996\r\nAlbumCDNum=5016958029829\r\n"
                              "AlbumLabel=One Little Indian\r\n";
    const QByteArray lyrics = "\r\n" + sep + "\r\n\r\nEmotional landscapes\r\nThey puzzle me\r\n";
    const QByteArray partial = "[Info]\r\nUsageCount=3\r\n";
    const QByteArray complete = "[Info]\r\nUsageCount=3\r\n" + fields + "Lyrics = Yes\r\n" + lyrics;
    const QByteArray made = sep + "\r\n; Generated " + QDate::currentDate().toString(u"dd-MM-yyyy").toLatin1()
        + "\r\n; Do not modify manually.\r\n" + sep
        + "\r\n\r\n[Info]\r\nUsageCount = \r\nWriter     = Björk Guðmundsdóttir\r\nPlaytime   = 00:01\r\n"
          "AlbumName  = Homogenic\r\nSongYear   = 1997\r\nAlbumYear  = 1996\r\nAlbumCDNum = 5016958029829\r\n"
          "AlbumLabel = One Little Indian\r\nLyrics     = Yes\r\n"
        + lyrics;
    // Per song: its file before (null: none) and after filling, and the log's
    // entry for it ("" for none).
    const struct {
        QByteArray before, after;
        QString logged;
    } songs[] = {
        { {}, made, "made" },
        { partial, partial + fields + "Lyrics     = Yes\r\n" + lyrics,
            "Writer, Playtime, AlbumName, SongYear, AlbumYear, AlbumCDNum, AlbumLabel, Lyrics" },
        { complete, complete, "" },
        { {}, made, "made" },
        { partial, partial + fields + "Lyrics     = Yes\r\n" + lyrics,
            "Writer, Playtime, AlbumName, SongYear, AlbumYear, AlbumCDNum, AlbumLabel, Lyrics" },
        { {}, made, "made" },
    };
    const auto info = [&](int k) { return path(QStringLiteral("info/A%1-Song.INI").arg(k + 1)); };
    for (int k = 0; k < 6; ++k) {
        QVERIFY(QFile::copy(QStringLiteral(AUDIO_FIXTURES "/mp3-v23-utf16.mp3"),
            path(QStringLiteral("music/A%1-Song.mp3").arg(k + 1))));
        if (!songs[k].before.isNull())
            writeBytes(info(k), songs[k].before);
    }
    writeBytes(path("prog/discora.INI"),
        ("[MP3]\r\nDirectory=" + path("music") + "\r\nINI_Directory=" + path("info") + "\r\n").toUtf8());
    TfrmMain window(path("prog/discora.INI"));
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitFor([&] { return window.songs().RowCount() == 7 && !window.isScanning(); }));
    QTimer presser;
    bool pressed = false;
    connect(&presser, &QTimer::timeout, [&] {
        auto *progress = window.findChild<QProgressDialog *>(QStringLiteral("dlgFillProgress"));
        if (progress && !pressed && progress->value() == cancelAfter) {
            pressed = true;
            if (!removeRest) {
                QTest::mouseClick(progress->findChild<QPushButton *>(), Qt::LeftButton);
                return;
            }
            for (int k = cancelAfter; k < 6; ++k)
                QVERIFY(QFile::remove(path(QStringLiteral("music/A%1-Song.mp3").arg(k + 1))));
            window.RefreshList(true);
        }
    });
    presser.start(0);
    window.findChild<QAction *>(QStringLiteral("actFillFromFiles"))->trigger();
    presser.stop();
    QCOMPARE(pressed, cancelAfter >= 0);
    QStringList expectedLog;
    for (int k = 0; k < 6; ++k) {
        const QByteArray now = QFile::exists(info(k)) ? readBytes(info(k)) : QByteArray("(none)");
        const QByteArray expected = k < filled ? songs[k].after
            : songs[k].before.isNull()         ? "(none)"
                                               : songs[k].before;
        QVERIFY2(
            now == expected, qPrintable(QStringLiteral("A%1: %2").arg(k + 1).arg(QString::fromUtf8(now))));
        if (k < filled && !songs[k].logged.isEmpty())
            expectedLog << QStringLiteral("Filled %1: %2").arg(info(k), songs[k].logged);
    }
    QStringList logged;
    for (const QString &line :
        QString::fromUtf8(readBytes(path("prog/discora.LOG"))).split(QStringLiteral("\r\n"))) {
        if (line.contains(QStringLiteral("Filled ")))
            logged << line.mid(line.indexOf(QStringLiteral("Filled ")));
    }
    QCOMPARE(logged, expectedLog);
    // The grid follows: a song given a file shows its time, one without
    // still none.
    const auto timeShown = [&](int k) {
        const bool hasTime = (k < filled ? songs[k].after : songs[k].before).contains("00:01");
        return window.songs().Cells(TSongList::ColTime, k + 1).trimmed()
            == (hasTime ? QStringLiteral("00:01") : QStringLiteral("No INI"));
    };
    QVERIFY(QTest::qWaitFor([&] {
        for (int k = 0; k < (removeRest ? cancelAfter : 6); ++k) {
            if (!timeShown(k))
                return false;
        }
        return true;
    }));
}

int main(int argc, char **argv)
{
    // The program's own application object: an error escaping a command
    // ends in the error box, as in the program.
    TQLXApplication app(argc, argv);
    tst_UDSCMainCommands test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_UDSCMainCommands.moc"
