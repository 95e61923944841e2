// Handing a song to the launcher: what the launcher receives (the path as
// one argument, byte for byte, whatever the name holds), which failures are
// found before it starts, how its exit codes read, and that nobody waits
// for a launcher that keeps running.

#include "Launcher.h"
#include "StubLauncher.h"
#include "TestSupport.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

using TestSupport::writeBytes;

class TestLauncher : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void pathReachesLauncherWhole_data();
    void pathReachesLauncherWhole();
    void failures_data();
    void failures();
    void codeText_data();
    void codeText();
    void unreadableSong();
    void noLauncherOnPath();
    void launcherNotStartable();
    void neverWaitsForLauncher();
    void launcherRunsApart();

private:
    QByteArray folder() const { return QFile::encodeName(m_dir->path()) + "/music"; }
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestLauncher::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(::mkdir(folder().constData(), 0755) == 0);
}

void TestLauncher::cleanup()
{
    ::chmod(folder().constData(), 0755);
    m_dir.reset();
}

void TestLauncher::pathReachesLauncherWhole_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::newRow("plain") << QByteArray("Zandor-Daylight.mp3");
    QTest::newRow("quotes") << QByteArray("It's \"quoted\"-Song.mp3");
    QTest::newRow("spaces") << QByteArray("Two  Spaces -  Song .mp3");
    QTest::newRow("command-substitution") << QByteArray("$(touch pwned)-Song.mp3");
    QTest::newRow("backticks") << QByteArray("`touch pwned`-Song.mp3");
    QTest::newRow("leading-dash") << QByteArray("-rf-Song.mp3");
    QTest::newRow("shell-operators") << QByteArray("a;touch pwned|b&c>d-Song.mp3");
    QTest::newRow("newline") << QByteArray("Line\nBreak-Song.mp3");
    QTest::newRow("latin1-not-utf8") << QByteArray("Caf\xe9-Chanson.mp3");
    QTest::newRow("invalid-utf8-tail") << QByteArray("Bad\xff\xfe-Song.mp3");
}

void TestLauncher::pathReachesLauncherWhole()
{
    QFETCH(QByteArray, name);
    StubLauncher stub;
    const QByteArray path = folder() + '/' + name;
    writeBytes(path, "ID3");
    TLauncher launcher;
    QSignalSpy failed(&launcher, &TLauncher::failed);
    launcher.open(path);
    QTRY_COMPARE(stub.calls(), 1);
    QCOMPARE(stub.arguments(), path + '\0');
    QTRY_COMPARE(launcher.running(), 0);
    QCOMPARE(failed.size(), 0);
    // Nothing in the name ran: no file was made anywhere near.
    QVERIFY(!TestSupport::exists(folder() + "/pwned"));
    QVERIFY(!TestSupport::exists(QFile::encodeName(stub.dir()) + "/pwned"));
    QVERIFY(!QFile::exists(QStringLiteral("pwned")));
}

void TestLauncher::failures_data()
{
    // setup: "song" a readable song, "no-file" the song missing, "no-folder"
    // the whole folder missing, "unreadable" a song we may not read.
    QTest::addColumn<QString>("setup");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<int>("calls");
    QTest::addColumn<QString>("text");
    QTest::newRow("handed-over") << "song" << 0 << 1 << "";
    QTest::newRow("missing-file") << "no-file" << 0 << 0 << "The specified file was not found.";
    QTest::newRow("missing-folder") << "no-folder" << 0 << 0 << "The specified path was not found.";
    QTest::newRow("folder-named-like-song") << "dir-song" << 0 << 0 << "The specified file was not found.";
    QTest::newRow("launcher-file-missing") << "song" << 2 << 1 << "The specified file was not found.";
    QTest::newRow("launcher-no-application")
        << "song" << 3 << 1 << "There is no application associated with the given filename extension.";
    QTest::newRow("launcher-unreadable")
        << "song" << 5 << 1 << "Windows 95 only: The operating system denied access to the specified file.";
    QTest::newRow("launcher-syntax") << "song" << 1 << 1 << "Undocumented: 1.";
    QTest::newRow("launcher-action-failed") << "song" << 4 << 1 << "Undocumented: 4.";
    QTest::newRow("launcher-other-code-in-table") << "song" << 26 << 1 << "Undocumented: 26.";
    QTest::newRow("launcher-code-above-32") << "song" << 127 << 1 << "Undocumented: 127.";
}

void TestLauncher::failures()
{
    QFETCH(QString, setup);
    QFETCH(int, exitCode);
    QFETCH(int, calls);
    QFETCH(QString, text);
    StubLauncher stub;
    stub.setExitCode(exitCode);
    QByteArray path = folder() + "/Zandor-Daylight.mp3";
    if (setup == u"song")
        writeBytes(path, "ID3");
    if (setup == u"no-folder")
        path = folder() + "/gone/Zandor-Daylight.mp3";
    if (setup == u"dir-song")
        QVERIFY(::mkdir(path.constData(), 0755) == 0);
    TLauncher launcher;
    QSignalSpy failed(&launcher, &TLauncher::failed);
    launcher.open(path);
    QTRY_COMPARE(launcher.running(), 0);
    QCOMPARE(stub.calls(), calls);
    if (text.isEmpty()) {
        QCOMPARE(failed.size(), 0);
        return;
    }
    QCOMPARE(failed.size(), 1);
    QCOMPARE(failed[0][0].toString(), text);
    QCOMPARE(failed[0][1].toByteArray(), path);
}

void TestLauncher::codeText_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("text");
    QTest::newRow("0") << 0 << "Undocumented: 0.";
    QTest::newRow("1") << 1 << "Undocumented: 1.";
    QTest::newRow("2") << 2 << "The specified file was not found.";
    QTest::newRow("3") << 3 << "The specified path was not found.";
    QTest::newRow("4") << 4 << "Undocumented: 4.";
    QTest::newRow("5") << 5 << "Windows 95 only: The operating system denied access to the specified file.";
    QTest::newRow("8") << 8 << "Windows 95 only: There was not enough memory to complete the operation.";
    QTest::newRow("11") << 11 << "The .EXE file is invalid (non-Win32 .EXE or error in .EXE image).";
    QTest::newRow("25") << 25 << "Undocumented: 25.";
    QTest::newRow("26") << 26 << "A sharing violation occurred.";
    QTest::newRow("27") << 27 << "The filename association is incomplete or invalid.";
    QTest::newRow("28") << 28 << "The DDE transaction could not be completed because the request timed out.";
    QTest::newRow("29") << 29 << "The DDE transaction failed.";
    QTest::newRow("30") << 30
                        << "The DDE transaction could not be completed because other DDE transactions were "
                           "being processed.";
    QTest::newRow("31") << 31 << "There is no application associated with the given filename extension.";
    QTest::newRow("32") << 32 << "Windows 95 only: The specified dynamic-link library was not found.";
}

void TestLauncher::codeText()
{
    QFETCH(int, code);
    QFETCH(QString, text);
    QCOMPARE(TLauncher::CodeText(code), text);
}

void TestLauncher::unreadableSong()
{
    // The super-user too meets the file's permissions here.
    TestSupport::WithoutFileOverride asUser;
    if (!asUser.active())
        QSKIP("the permission to read every file cannot be given up here");
    StubLauncher stub;
    const QByteArray path = folder() + "/Zandor-Daylight.mp3";
    writeBytes(path, "ID3");
    QVERIFY(::chmod(path.constData(), 0) == 0);
    TLauncher launcher;
    QSignalSpy failed(&launcher, &TLauncher::failed);
    launcher.open(path);
    QCOMPARE(failed.size(), 1);
    QCOMPARE(failed[0][0].toString(),
        "Windows 95 only: The operating system denied access to the specified file.");
    QCOMPARE(stub.calls(), 0);
}

void TestLauncher::noLauncherOnPath()
{
    const QByteArray oldPath = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(m_dir->path()));
    const QByteArray path = folder() + "/Zandor-Daylight.mp3";
    writeBytes(path, "ID3");
    TLauncher launcher;
    QSignalSpy failed(&launcher, &TLauncher::failed);
    launcher.open(path);
    qputenv("PATH", oldPath);
    QCOMPARE(failed.size(), 1);
    QCOMPARE(
        failed[0][0].toString(), "There is no application associated with the given filename extension.");
}

void TestLauncher::launcherNotStartable()
{
    // A launcher that exists but cannot be run.
    const QString program = m_dir->filePath(QStringLiteral("broken-open"));
    writeBytes(program, "#!/nonexistent/interpreter\n");
    QVERIFY(::chmod(QFile::encodeName(program).constData(), 0755) == 0);
    const QByteArray path = folder() + "/Zandor-Daylight.mp3";
    writeBytes(path, "ID3");
    TLauncher launcher;
    launcher.setProgram(program);
    QSignalSpy failed(&launcher, &TLauncher::failed);
    launcher.open(path);
    QTRY_COMPARE(failed.size(), 1);
    QCOMPARE(
        failed[0][0].toString(), "There is no application associated with the given filename extension.");
    QTRY_COMPARE(launcher.running(), 0);
}

void TestLauncher::neverWaitsForLauncher()
{
    // A launcher that runs the player in the foreground returns only when
    // the player ends: open() must not wait for it, and a failure after the
    // settle time is the player's, not ours.
    StubLauncher stub;
    stub.setPause(TLauncher::SettleMs / 1000 + 2);
    stub.setExitCode(4);
    const QByteArray path = folder() + "/Zandor-Daylight.mp3";
    writeBytes(path, "ID3");
    TLauncher launcher;
    QSignalSpy failed(&launcher, &TLauncher::failed);
    QElapsedTimer clock;
    clock.start();
    launcher.open(path);
    // Back long before the launcher could have ended.
    QVERIFY(clock.elapsed() < (TLauncher::SettleMs / 1000 + 2) * 1000);
    QCOMPARE(launcher.running(), 1);
    QTRY_COMPARE(stub.calls(), 1);
    QTRY_COMPARE_WITH_TIMEOUT(launcher.running(), 0, 60000);
    QCOMPARE(failed.size(), 0);
}

void TestLauncher::launcherRunsApart()
{
    // In a session of its own, with nothing of ours on its standard files,
    // in the song's folder: the player it starts outlives the program.
    StubLauncher stub;
    const QByteArray path = folder() + "/Zandor-Daylight.mp3";
    writeBytes(path, "ID3");
    TLauncher launcher;
    launcher.open(path);
    QTRY_COMPARE(stub.calls(), 1);
    QTRY_COMPARE(launcher.running(), 0);
    QVERIFY(stub.session() > 0);
    QVERIFY(stub.session() != ::getsid(0));
    QCOMPARE(stub.standardFiles(), QByteArray("/dev/null /dev/null /dev/null"));
    QCOMPARE(stub.workingFolder(), folder());
}

QTEST_GUILESS_MAIN(TestLauncher)
#include "tst_Launcher.moc"
