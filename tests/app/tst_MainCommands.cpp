// The main window's commands as the user meets them: each tool-bar button,
// the find and Current buttons and the grid's double-click run their own
// command and no other; playing hands the song's full path to the launcher
// and shows a warning when that fails; Current brings the song another
// program holds open into view with rows around it.

#include "Launcher.h"
#include "MSG_Func.h"
#include "MainCommands.h"
#include "MusicGrid.h"
#include "QLXApplication.h"
#include "StatusBar.h"
#include "StubLauncher.h"
#include "TestSupport.h"
#include "UDSCMain.h"

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

using TestSupport::writeBytes;

namespace
{

// Answers every message window with its default button and keeps what it
// showed: "caption | text", the text as the window shows it (lines broken
// by LF, no mnemonic marks).
class MsgWatcher : public QObject
{
public:
    MsgWatcher()
    {
        connect(&m_timer, &QTimer::timeout, this, [this] {
            if (auto *w = qobject_cast<TMsgWindow *>(QApplication::activeModalWidget())) {
                texts << w->windowTitle() + QStringLiteral(" | ") + w->messageLabel()->accessibleName();
                QTest::keyClick(w->focusWidget() ? w->focusWidget() : w, Qt::Key_Return);
            }
        });
        m_timer.start(10);
    }
    QStringList texts;

private:
    QTimer m_timer;
};

} // namespace

class TestMainCommands : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void dispatcher_data();
    void dispatcher();
    void playRoutes_data();
    void playRoutes();
    void playFailures_data();
    void playFailures();
    void showCurrent_data();
    void showCurrent();

private:
    QString music() const { return m_dir->filePath(QStringLiteral("music")); }
    QString settingsPath() const { return m_dir->filePath(QStringLiteral("discora.INI")); }
    void addSongs(const QStringList &names);
    std::unique_ptr<TfrmMain> openWindow(int rows);

    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestMainCommands::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(QDir().mkdir(music()));
    writeBytes(settingsPath(), "[MP3]\r\nDirectory=" + music().toUtf8() + "\r\n");
}

void TestMainCommands::cleanup()
{
    m_dir.reset();
}

void TestMainCommands::addSongs(const QStringList &names)
{
    for (const QString &name : names)
        writeBytes(music() + QLatin1Char('/') + name, QByteArray(1000, '\0'));
}

std::unique_ptr<TfrmMain> TestMainCommands::openWindow(int rows)
{
    auto window = std::make_unique<TfrmMain>(settingsPath());
    window->show();
    window->activateWindow();
    if (!QTest::qWaitForWindowActive(window.get()))
        qWarning("main window did not become active");
    if (!QTest::qWaitFor([&] { return window->songs().RowCount() == rows + 1; }))
        qWarning("the first scan did not list the songs");
    return window;
}

void TestMainCommands::dispatcher_data()
{
    // The find field holds "Two" (row 2), "Cc-Three" is held open (row 3),
    // and a fifth song appears after the first scan.
    QTest::addColumn<QString>("sender");
    QTest::addColumn<QByteArray>("launched"); // the song handed to the launcher
    QTest::addColumn<bool>("closed");
    QTest::addColumn<int>("songs");
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("findCaption");
    QTest::newRow("bbtFind") << "bbtFind" << QByteArray() << false << 4 << 2 << "&Find next";
    QTest::newRow("bbtCurrent") << "bbtCurrent" << QByteArray() << false << 4 << 3 << "&Find first";
    QTest::newRow("spbExit") << "spbExit" << QByteArray() << true << 4 << 1 << "&Find first";
    QTest::newRow("spbRefresh") << "spbRefresh" << QByteArray() << false << 5 << 1 << "&Find first";
    QTest::newRow("spbAbout") << "spbAbout" << QByteArray() << false << 4 << 1 << "&Find first";
    QTest::newRow("spbPlay") << "spbPlay" << QByteArray("Aa-One.mp3") << false << 4 << 1 << "&Find first";
    QTest::newRow("sgrMusic") << "sgrMusic" << QByteArray("Aa-One.mp3") << false << 4 << 1 << "&Find first";
    QTest::newRow("spbDetails") << "spbDetails" << QByteArray() << false << 4 << 1 << "&Find first";
    QTest::newRow("spbStats") << "spbStats" << QByteArray() << false << 4 << 1 << "&Find first";
    QTest::newRow("unknown-sender") << "edtFind" << QByteArray() << false << 4 << 1 << "&Find first";
}

void TestMainCommands::dispatcher()
{
    QFETCH(QString, sender);
    QFETCH(QByteArray, launched);
    QFETCH(bool, closed);
    QFETCH(int, songs);
    QFETCH(int, row);
    QFETCH(QString, findCaption);
    StubLauncher stub;
    MsgWatcher messages;
    addSongs({ "Aa-One.mp3", "Bb-Two.mp3", "Cc-Three.mp3", "Dd-Four.mp3" });
    TestSupport::FileHolder player(music() + QStringLiteral("/Cc-Three.mp3"));
    auto window = openWindow(4);
    // Held since before the start: the scan a second after the first one
    // confirms it is played.
    QTRY_COMPARE(window->songs().Cells(3, 3), QStringLiteral("Lock"));
    window->edtFind->setText(QStringLiteral("Two"));
    window->sgrMusic->setRow(1);
    addSongs({ "Ee-Five.mp3" });
    // The details dialog and the statistics viewer are closed as they open.
    QTimer closer;
    connect(&closer, &QTimer::timeout, [] {
        QWidget *modal = QApplication::activeModalWidget();
        if (modal && (modal->inherits("TfrmSettings") || modal->inherits("TfrmLogFile")))
            static_cast<QDialog *>(modal)->reject();
    });
    closer.start(10);

    // The about command opens the program information (the window with the
    // information panel); Enter closes it.
    QStringList dialogs;
    QTimer dialogCloser;
    connect(&dialogCloser, &QTimer::timeout, this, [&] {
        QWidget *w = QApplication::activeModalWidget();
        if (w && w->findChild<QWidget *>(QStringLiteral("pnlInfo"))) {
            dialogs << w->windowTitle();
            QTest::keyClick(w, Qt::Key_Return);
        }
    });
    dialogCloser.start(10);
    window->ButtonsClick(window->findChild<QObject *>(sender));
    QCOMPARE(dialogs,
        sender == u"spbAbout" ? QStringList { QStringLiteral("Program information") } : QStringList());
    if (!launched.isEmpty()) {
        QTRY_COMPARE(stub.calls(), 1);
        QCOMPARE(stub.arguments(), QFile::encodeName(music()) + '/' + launched + '\0');
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(window->edtFind));
    }
    QTRY_COMPARE(window->commands().launcher().running(), 0);
    QTRY_VERIFY(!window->isScanning());
    QCOMPARE(stub.calls(), launched.isEmpty() ? 0 : 1);
    QCOMPARE(window->isVisible(), !closed);
    QCOMPARE(window->songs().RowCount() - 1, songs);
    QCOMPARE(window->sgrMusic->Row(), row);
    QCOMPARE(window->bbtFind->text(), findCaption);
    QCOMPARE(messages.texts, QStringList());
}

void TestMainCommands::playRoutes_data()
{
    QTest::addColumn<QString>("route");
    QTest::addColumn<QByteArray>("launched");
    QTest::newRow("double-click-row-3") << "double-click" << QByteArray("Cc-Three.mp3");
    QTest::newRow("play-button-row-2") << "play-button" << QByteArray("Bb-Two.mp3");
    QTest::newRow("find-field-down-enter") << "down-enter" << QByteArray("Bb-Two.mp3");
}

void TestMainCommands::playRoutes()
{
    QFETCH(QString, route);
    QFETCH(QByteArray, launched);
    StubLauncher stub;
    addSongs({ "Aa-One.mp3", "Bb-Two.mp3", "Cc-Three.mp3" });
    auto window = openWindow(3);
    window->sgrMusic->setRow(1);
    if (route == u"double-click") {
        window->sgrMusic->setFocus();
        const QRect cell = window->sgrMusic->visualRect(window->songs().index(2, 1));
        QTest::mouseDClick(window->sgrMusic->viewport(), Qt::LeftButton, {}, cell.center());
    } else if (route == u"play-button") {
        window->sgrMusic->setRow(2);
        QTest::mouseClick(window->spbPlay, Qt::LeftButton);
    } else {
        window->edtFind->setFocus();
        QTest::keyClick(window->edtFind, Qt::Key_Down);
        QTest::keyClick(window->edtFind, Qt::Key_Return);
    }
    QTRY_COMPARE(stub.calls(), 1);
    QCOMPARE(stub.arguments(), QFile::encodeName(music()) + '/' + launched + '\0');
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(window->edtFind));
    QTRY_COMPARE(window->commands().launcher().running(), 0);
}

void TestMainCommands::playFailures_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("text");
    QTest::newRow("no-application") << "song" << 3
                                    << "Fout: There is no application associated with the given filename "
                                       "extension.\n%1/Aa-One.mp3";
    QTest::newRow("launcher-failed") << "song" << 4 << "Fout: Undocumented: 4.\n%1/Aa-One.mp3";
    QTest::newRow("song-removed") << "removed" << 0
                                  << "Fout: The specified file was not found.\n%1/Aa-One.mp3";
    QTest::newRow("folder-removed") << "folder-removed" << 0
                                    << "Fout: The specified path was not found.\n%1/Aa-One.mp3";
    QTest::newRow("ampersand-in-name-shown") << "ampersand" << 3
                                             << "Fout: There is no application associated with the given "
                                                "filename extension.\n%1/Aa & Bb-One.mp3";
}

void TestMainCommands::playFailures()
{
    QFETCH(QString, setup);
    QFETCH(int, exitCode);
    QFETCH(QString, text);
    StubLauncher stub;
    stub.setExitCode(exitCode);
    MsgWatcher messages;
    addSongs({ setup == u"ampersand" ? "Aa & Bb-One.mp3" : "Aa-One.mp3", "Bb-Two.mp3" });
    auto window = openWindow(2);
    window->sgrMusic->setRow(1);
    if (setup == u"removed")
        QVERIFY(QFile::remove(music() + QStringLiteral("/Aa-One.mp3")));
    if (setup == u"folder-removed")
        QVERIFY(QDir(music()).removeRecursively());
    window->ButtonsClick(window->spbPlay);
    QTRY_COMPARE(messages.texts.size(), 1);
    QCOMPARE(messages.texts[0], QStringLiteral("Discora 1.5 | ") + text.arg(music()));
    QTRY_COMPARE(window->commands().launcher().running(), 0);
    QTest::qWait(50);
    QCOMPARE(messages.texts.size(), 1);
}

void TestMainCommands::showCurrent_data()
{
    // 40 songs; the grid shows 15 rows at a time. topRow is the first row in
    // view afterwards; 0 for playing means nothing is held open.
    QTest::addColumn<int>("playing");
    QTest::addColumn<int>("startRow");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("topRow");
    QTest::newRow("row-2-from-bottom") << 2 << 40 << 2 << 2;
    QTest::newRow("row-2-from-top") << 2 << 1 << 2 << 1;
    QTest::newRow("middle-from-top") << 25 << 1 << 25 << 14;
    QTest::newRow("middle-from-bottom") << 25 << 40 << 25 << 22;
    QTest::newRow("row-5-from-bottom") << 5 << 40 << 5 << 2;
    QTest::newRow("row-4-from-bottom") << 4 << 40 << 4 << 4;
    QTest::newRow("fourth-last-from-top") << 37 << 1 << 37 << 23;
    // At the end of the list the last row shows in full below a cut one.
    QTest::newRow("last-from-top") << 40 << 1 << 40 << 25;
    QTest::newRow("nothing-playing") << 0 << 17 << 17 << 3;
}

void TestMainCommands::showCurrent()
{
    QFETCH(int, playing);
    QFETCH(int, startRow);
    QFETCH(int, row);
    QFETCH(int, topRow);
    QStringList names;
    for (int i = 1; i <= 40; ++i)
        names << QStringLiteral("Band-Song %1.mp3").arg(i, 2, 10, QLatin1Char('0'));
    addSongs(names);
    auto window = openWindow(40);
    window->sgrMusic->setRow(startRow);
    std::unique_ptr<TestSupport::FileHolder> player;
    if (playing > 0) {
        player = std::make_unique<TestSupport::FileHolder>(music() + QLatin1Char('/') + names[playing - 1]);
        // Current brings up a song once it counts as playing.
        QTRY_COMPARE(window->songs().Cells(3, playing), QStringLiteral("Lock"));
    }
    QTRY_VERIFY(!window->isScanning());
    window->stbStatus->Panels[0]->clear();

    QTest::mouseClick(window->bbtCurrent, Qt::LeftButton);
    QTRY_COMPARE(window->stbStatus->Panels[0]->text().isEmpty(), false);
    QCOMPARE(window->sgrMusic->Row(), row);
    QCOMPARE(window->sgrMusic->rowAt(0) + 1, topRow);
    // The song and, when three rows follow it before the last one, those
    // three are in view in full.
    const QRect view = window->sgrMusic->viewport()->rect();
    for (int r = row; playing > 0 && r <= (row + 3 < 40 ? row + 3 : row); ++r)
        QVERIFY2(view.contains(window->sgrMusic->visualRect(window->songs().index(r - 1, 0))),
            qPrintable(QString::number(r)));
    QCOMPARE(window->stbStatus->Panels[0]->text(),
        QStringLiteral(" Band - Song %1").arg(row, 2, 10, QLatin1Char('0')));
    QCOMPARE(window->stbStatus->Panels[1]->text(), QStringLiteral("%1 / 40").arg(row));
    if (playing > 0) {
        QCOMPARE(window->songs().Cells(3, playing), QStringLiteral("Lock"));
        QCOMPARE(window->windowTitle(),
            QStringLiteral("Discora 1.5  Band - Song %1").arg(playing, 2, 10, QLatin1Char('0')));
    }
}

QTEST_MAIN(TestMainCommands)
#include "tst_MainCommands.moc"
