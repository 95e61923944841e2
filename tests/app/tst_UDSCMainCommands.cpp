// The main window's Details and Statistics commands: the right mouse button
// opens the details of the selected row where the window asks for it, and
// the statistics report is written from the grid beside the settings file.

#include "FQLXLogF.h"
#include "ModalDriver.h"
#include "MusicGrid.h"
#include "QLXApplication.h"
#include "TestSupport.h"
#include "UDSCMain.h"
#include "UDSCSett.h"

#include <QMessageBox>
#include <QPlainTextEdit>
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
