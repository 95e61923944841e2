// Where the program keeps its own files: beside itself in a folder the user
// may write, in the user's configuration folder otherwise. Run as root, the
// checks that need an ordinary user switch the effective user to "nobody"
// around the call, so the kernel answers as it would for that user.

#include "ProgramFiles.h"
#include "TestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <ctime>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace
{

// Restores HOME and XDG_CONFIG_HOME when it goes out of scope.
class EnvGuard
{
public:
    EnvGuard()
        : m_home(qgetenv("HOME"))
        , m_xdg(qgetenv("XDG_CONFIG_HOME"))
        , m_hadXdg(qEnvironmentVariableIsSet("XDG_CONFIG_HOME"))
    {
    }
    ~EnvGuard()
    {
        qputenv("HOME", m_home);
        if (m_hadXdg)
            qputenv("XDG_CONFIG_HOME", m_xdg);
        else
            qunsetenv("XDG_CONFIG_HOME");
    }

private:
    QByteArray m_home, m_xdg;
    bool m_hadXdg;
};

} // namespace

class TestProgramFiles : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void path_data();
    void path();
    void staleTemporaries_data();
    void staleTemporaries();
};

void TestProgramFiles::path_data()
{
    // %T is the temporary folder. The program lives in %T/bin, writable or
    // not; HOME is %T/home; "-" leaves XDG_CONFIG_HOME unset. "present"
    // names the files there before: "beside" (%T/bin/discora.INI, saying
    // "beside") and "own" (the user's, saying "own"). "contents" is what the
    // answer's file then says, "-" when there is no file.
    QTest::addColumn<bool>("binWritable");
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("xdgConfigHome");
    QTest::addColumn<QString>("extension");
    QTest::addColumn<QString>("present");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QString>("contents");

    QTest::newRow("writable-beside") << true << u"%T/bin/discora"_s << u"%T/cfg"_s << u".INI"_s << u""_s
                                     << u"%T/bin/discora.INI"_s << u"-"_s;
    QTest::newRow("writable-report") << true << u"%T/bin/discora"_s << u"-"_s << u".TXT"_s << u""_s
                                     << u"%T/bin/discora.TXT"_s << u"-"_s;
    QTest::newRow("writable-extension-replaced") << true << u"%T/bin/discora.bin"_s << u"-"_s << u".INI"_s
                                                 << u""_s << u"%T/bin/discora.INI"_s << u"-"_s;
    QTest::newRow("writable-beside-wins-over-own")
        << true << u"%T/bin/discora"_s << u"%T/cfg"_s << u".INI"_s << u"beside,own"_s
        << u"%T/bin/discora.INI"_s << u"beside"_s;
    QTest::newRow("read-only-xdg") << false << u"%T/bin/discora"_s << u"%T/cfg"_s << u".INI"_s << u""_s
                                   << u"%T/cfg/discora/discora.INI"_s << u"-"_s;
    QTest::newRow("read-only-report") << false << u"%T/bin/discora"_s << u"%T/cfg"_s << u".TXT"_s << u""_s
                                      << u"%T/cfg/discora/discora.TXT"_s << u"-"_s;
    QTest::newRow("read-only-xdg-unset") << false << u"%T/bin/discora"_s << u"-"_s << u".INI"_s << u""_s
                                         << u"%T/home/.config/discora/discora.INI"_s << u"-"_s;
    QTest::newRow("read-only-xdg-relative") << false << u"%T/bin/discora"_s << u"relative/cfg"_s << u".INI"_s
                                            << u""_s << u"%T/home/.config/discora/discora.INI"_s << u"-"_s;
    QTest::newRow("read-only-other-name") << false << u"%T/bin/discora-test.x"_s << u"%T/cfg"_s << u".INI"_s
                                          << u""_s << u"%T/cfg/discora/discora-test.INI"_s << u"-"_s;
    // Installed with settings for everyone: they are read, through the
    // user's own copy, which takes the user's changes.
    QTest::newRow("read-only-beside-copied") << false << u"%T/bin/discora"_s << u"%T/cfg"_s << u".INI"_s
                                             << u"beside"_s << u"%T/cfg/discora/discora.INI"_s << u"beside"_s;
    QTest::newRow("read-only-own-wins") << false << u"%T/bin/discora"_s << u"%T/cfg"_s << u".INI"_s
                                        << u"beside,own"_s << u"%T/cfg/discora/discora.INI"_s << u"own"_s;
    // No copy can be made: the file beside the program is read.
    QTest::newRow("read-only-no-own-folder") << false << u"%T/bin/discora"_s << u"%T/bin/cfg"_s << u".INI"_s
                                             << u"beside"_s << u"%T/bin/discora.INI"_s << u"beside"_s;
    // Installed below /usr: never beside it, even for root, who may write
    // there (the call then runs as the test's own user).
    QTest::newRow("installed-below-usr") << true << u"/usr/bin/discora"_s << u"%T/cfg"_s << u".INI"_s << u""_s
                                         << u"%T/cfg/discora/discora.INI"_s << u"-"_s;
    // Reached through a link: /bin is one to /usr/bin where /usr is merged.
    QTest::newRow("installed-below-usr-through-a-link")
        << true << u"/bin/discora"_s << u"%T/cfg"_s << u".INI"_s << u""_s << u"%T/cfg/discora/discora.INI"_s
        << u"-"_s;
}

void TestProgramFiles::path()
{
    QFETCH(bool, binWritable);
    QFETCH(QString, program);
    QFETCH(QString, xdgConfigHome);
    QFETCH(QString, extension);
    QFETCH(QString, present);
    QFETCH(QString, expected);
    QFETCH(QString, contents);

    QTemporaryDir dir;
    const QString t = dir.path();
    QVERIFY(QDir().mkpath(t + "/bin"));
    QVERIFY(QDir().mkpath(t + "/home"));
    QVERIFY(QDir().mkpath(t + "/cfg"));
    program.replace("%T", t);
    expected.replace("%T", t);
    xdgConfigHome.replace("%T", t);
    const bool ownProgram = program.startsWith(t + "/");
    if (program.startsWith("/bin/") && !QFileInfo(QStringLiteral("/bin")).isSymLink())
        QSKIP("/bin is a folder of its own here, not a link into /usr");
    if (ownProgram)
        TestSupport::writeBytes(program, "program");
    if (present.contains("beside"))
        TestSupport::writeBytes(t + "/bin/discora.INI", "beside");
    if (present.contains("own")) {
        QVERIFY(QDir().mkpath(xdgConfigHome + "/discora"));
        QVERIFY(QFile::setPermissions(
            xdgConfigHome + "/discora", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        TestSupport::writeBytes(xdgConfigHome + "/discora/discora.INI", "own");
    }

    EnvGuard env;
    qputenv("HOME", QFile::encodeName(t + "/home"));
    if (xdgConfigHome == "-")
        qunsetenv("XDG_CONFIG_HOME");
    else
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(xdgConfigHome));

    // As root, the call runs as "nobody", who owns the home and
    // configuration folders and may not write in bin unless it is open to all
    // (an installed program's row is about root itself: it runs as root).
    const bool root = ::geteuid() == 0 && ownProgram;
    const passwd *nobody = root ? ::getpwnam("nobody") : nullptr;
    if (root && !nobody)
        QSKIP("no user 'nobody' to check as");
    QVERIFY(::chmod(QFile::encodeName(t).constData(), 0755) == 0);
    QVERIFY(::chmod(QFile::encodeName(t + "/bin").constData(), binWritable ? 0777 : 0555) == 0);
    if (root) {
        for (const char *sub : { "/home", "/cfg", "/cfg/discora" })
            ::chown(QFile::encodeName(t + sub).constData(), nobody->pw_uid, nobody->pw_gid);
        QVERIFY(::seteuid(nobody->pw_uid) == 0);
    }
    const QString got = ProgramFilePath(program, extension);
    if (root)
        QVERIFY(::seteuid(0) == 0);
    ::chmod(QFile::encodeName(t + "/bin").constData(), 0755);

    QCOMPARE(got, expected);
    QFile file(got);
    QCOMPARE(
        file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll()) : QStringLiteral("-"), contents);
    // The folder is there to write into, private to the user when made here.
    const QFileInfo folder(QFileInfo(got).absolutePath());
    QVERIFY(folder.isDir());
    if (!got.startsWith(t + "/bin/")) {
        struct stat st;
        QVERIFY(::stat(QFile::encodeName(folder.filePath()).constData(), &st) == 0);
        QCOMPARE(int(st.st_mode & 0777), 0700);
        QCOMPARE(st.st_uid, root ? nobody->pw_uid : ::getuid());
    }
}

void TestProgramFiles::staleTemporaries_data()
{
    // One file in the program's folder, beside discora and discora.INI.
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<int>("ageSeconds");
    QTest::addColumn<bool>("removed");

    QTest::newRow("settings-write-an-hour-old") << QByteArray(".discora.INI.Ab3dE9xZ") << 3600 << true;
    QTest::newRow("report-write-an-hour-old") << QByteArray(".discora.TXT.12345678") << 3600 << true;
    QTest::newRow("backup-of-settings") << QByteArray(".discora.INI.bak") << 3600 << false;
    QTest::newRow("other-program") << QByteArray(".discora2.INI.Ab3dE9xZ") << 3600 << false;
    // The program's folder is also the music folder when none is set.
    QTest::newRow("song-information-write") << QByteArray(".A-One.INI.Ab3dE9xZ") << 3600 << false;
}

// A kill while the settings or the report were written leaves a temporary
// file beside them; at start the abandoned ones of these two files go.
void TestProgramFiles::staleTemporaries()
{
    QFETCH(QByteArray, name);
    QFETCH(int, ageSeconds);
    QFETCH(bool, removed);

    QTemporaryDir dir;
    const QString program = dir.filePath("discora");
    TestSupport::writeBytes(program, "program");
    TestSupport::writeBytes(dir.filePath("discora.INI"), "[MP3]\r\n");
    const QByteArray temp = QFile::encodeName(dir.path()) + '/' + name;
    TestSupport::writeBytes(temp, "[MP3]\r\nDirec");
    const timespec times[2] = { { ::time(nullptr) - ageSeconds, 0 }, { ::time(nullptr) - ageSeconds, 0 } };
    QCOMPARE(::utimensat(AT_FDCWD, temp.constData(), times, 0), 0);

    RemoveStaleProgramTemporaries(program);
    QCOMPARE(TestSupport::exists(temp), !removed);
    QVERIFY(QFile::exists(dir.filePath("discora.INI")));
    QVERIFY(QFile::exists(program));
}

QTEST_GUILESS_MAIN(TestProgramFiles)
#include "tst_ProgramFiles.moc"
