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

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

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
};

void TestProgramFiles::path_data()
{
    // %T is the temporary folder. The program lives in %T/bin, writable or
    // not; HOME is %T/home; "-" leaves XDG_CONFIG_HOME unset.
    QTest::addColumn<bool>("binWritable");
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("xdgConfigHome");
    QTest::addColumn<QString>("extension");
    QTest::addColumn<QString>("expected");

    QTest::newRow("writable-beside") << true << "%T/bin/discora"
                                     << "%T/cfg"
                                     << ".INI"
                                     << "%T/bin/discora.INI";
    QTest::newRow("writable-report") << true << "%T/bin/discora"
                                     << "-"
                                     << ".TXT"
                                     << "%T/bin/discora.TXT";
    QTest::newRow("writable-extension-replaced") << true << "%T/bin/discora.bin"
                                                 << "-"
                                                 << ".INI"
                                                 << "%T/bin/discora.INI";
    QTest::newRow("read-only-xdg") << false << "%T/bin/discora"
                                   << "%T/cfg"
                                   << ".INI"
                                   << "%T/cfg/discora/discora.INI";
    QTest::newRow("read-only-report") << false << "%T/bin/discora"
                                      << "%T/cfg"
                                      << ".TXT"
                                      << "%T/cfg/discora/discora.TXT";
    QTest::newRow("read-only-xdg-unset") << false << "%T/bin/discora"
                                         << "-"
                                         << ".INI"
                                         << "%T/home/.config/discora/discora.INI";
    QTest::newRow("read-only-xdg-relative") << false << "%T/bin/discora"
                                            << "relative/cfg"
                                            << ".INI"
                                            << "%T/home/.config/discora/discora.INI";
    QTest::newRow("read-only-other-name") << false << "%T/bin/discora-test.x"
                                          << "%T/cfg"
                                          << ".INI"
                                          << "%T/cfg/discora/discora-test.INI";
}

void TestProgramFiles::path()
{
    QFETCH(bool, binWritable);
    QFETCH(QString, program);
    QFETCH(QString, xdgConfigHome);
    QFETCH(QString, extension);
    QFETCH(QString, expected);

    QTemporaryDir dir;
    const QString t = dir.path();
    QVERIFY(QDir().mkpath(t + "/bin"));
    QVERIFY(QDir().mkpath(t + "/home"));
    QVERIFY(QDir().mkpath(t + "/cfg"));
    program.replace("%T", t);
    expected.replace("%T", t);
    TestSupport::writeBytes(program, "program");

    EnvGuard env;
    qputenv("HOME", QFile::encodeName(t + "/home"));
    if (xdgConfigHome == "-")
        qunsetenv("XDG_CONFIG_HOME");
    else
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(xdgConfigHome.replace("%T", t)));

    // As root, the call runs as "nobody", who owns the home and
    // configuration folders and may not write in bin unless it is open to all.
    const bool root = ::geteuid() == 0;
    const passwd *nobody = root ? ::getpwnam("nobody") : nullptr;
    if (root && !nobody)
        QSKIP("no user 'nobody' to check as");
    QVERIFY(::chmod(QFile::encodeName(t).constData(), 0755) == 0);
    QVERIFY(::chmod(QFile::encodeName(t + "/bin").constData(), binWritable ? 0777 : 0555) == 0);
    if (root) {
        QVERIFY(::chown(QFile::encodeName(t + "/home").constData(), nobody->pw_uid, nobody->pw_gid) == 0);
        QVERIFY(::chown(QFile::encodeName(t + "/cfg").constData(), nobody->pw_uid, nobody->pw_gid) == 0);
        QVERIFY(::seteuid(nobody->pw_uid) == 0);
    }
    const QString got = ProgramFilePath(program, extension);
    if (root)
        QVERIFY(::seteuid(0) == 0);
    ::chmod(QFile::encodeName(t + "/bin").constData(), 0755);

    QCOMPARE(got, expected);
    // The folder is there to write into, private to the user when made here.
    const QFileInfo folder(QFileInfo(got).absolutePath());
    QVERIFY(folder.isDir());
    if (!binWritable) {
        struct stat st;
        QVERIFY(::stat(QFile::encodeName(folder.filePath()).constData(), &st) == 0);
        QCOMPARE(int(st.st_mode & 0777), 0700);
        QCOMPARE(st.st_uid, root ? nobody->pw_uid : ::getuid());
    }
}

QTEST_GUILESS_MAIN(TestProgramFiles)
#include "tst_ProgramFiles.moc"
