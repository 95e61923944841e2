// Replacing files whole: the new bytes arrive exactly, a refused or failed
// write leaves the old file whole and no temporary file behind, links and
// permissions survive, and names that are not UTF-8 work.

#include "FileWrite.h"
#include "QLXError.h"
#include "TestSupport.h"

#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <csignal>
#include <dirent.h>
#include <memory>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using TestSupport::readBytes;
using TestSupport::writeBytes;

namespace
{

// Every name in the folder, hidden and non-UTF-8 ones included.
QList<QByteArray> folderNames(const QByteArray &folder)
{
    QList<QByteArray> names;
    DIR *dir = ::opendir(folder.constData());
    if (!dir)
        return names;
    while (const dirent *entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (name != "." && name != "..")
            names.append(name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

mode_t modeOf(const QByteArray &path)
{
    struct stat st;
    return ::stat(path.constData(), &st) == 0 ? (st.st_mode & 07777) : mode_t(-1);
}

QString writeError(const QByteArray &path, const QByteArray &bytes)
{
    try {
        WriteFileAtomic(path, bytes);
    } catch (const EQLXError &e) {
        return e.message();
    }
    return QString();
}

} // namespace

class tst_FileWrite : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void writes_data();
    void writes();
    void symlinkStays_data();
    void symlinkStays();
    void permissions_data();
    void permissions();
    void refused_data();
    void refused();
    void failedWriteKeepsOldFile();
    void renameRefusedOnMountPoint();
    void readWholeFile_data();
    void readWholeFile();
    void readFileForUpdate_data();
    void readFileForUpdate();
    void displayPath();

private:
    QByteArray path(const char *name) const { return m_folder + '/' + name; }
    std::unique_ptr<QTemporaryDir> m_dir;
    QByteArray m_folder;
};

void tst_FileWrite::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_folder = QFile::encodeName(m_dir->path());
}

void tst_FileWrite::writes_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QByteArray>("before"); // null: no file
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("new-file") << QByteArray("a.INI") << QByteArray()
                              << QByteArrayLiteral("[Info]\r\nA=1\r\n");
    QTest::newRow("replace-longer-file")
        << QByteArray("a.INI") << QByteArray(5000, 'o') << QByteArrayLiteral("new");
    QTest::newRow("empty-bytes") << QByteArray("a.INI") << QByteArrayLiteral("old") << QByteArray("");
    QTest::newRow("nul-and-high-bytes")
        << QByteArray("a.INI") << QByteArrayLiteral("old") << QByteArrayLiteral("\0\xFF\x80\r\n\0");
    QTest::newRow("non-utf8-name") << QByteArray("Caf\xE9-\xFF.INI") << QByteArrayLiteral("old")
                                   << QByteArrayLiteral("M\xFCller");
    QTest::newRow("name-255-bytes") << QByteArray(255, 'n') << QByteArrayLiteral("old")
                                    << QByteArrayLiteral("new");
    QTest::newRow("4-mb") << QByteArray("big") << QByteArray() << QByteArray(4 * 1024 * 1024, 'b');
}

void tst_FileWrite::writes()
{
    QFETCH(QByteArray, name);
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, bytes);
    const QByteArray target = m_folder + '/' + name;
    if (!before.isNull())
        writeBytes(target, before);
    WriteFileAtomic(target, bytes);
    QVERIFY(readBytes(target) == bytes);
    QCOMPARE(folderNames(m_folder), QList<QByteArray> { name });
}

void tst_FileWrite::symlinkStays_data()
{
    QTest::addColumn<QByteArray>("linkTarget"); // as stored in the link
    QTest::addColumn<bool>("targetExists");

    QTest::newRow("relative-link") << QByteArray("real/song.INI") << true;
    QTest::newRow("absolute-link") << QByteArray("<abs>/real/song.INI") << true;
    QTest::newRow("dangling-link") << QByteArray("real/song.INI") << false;
}

void tst_FileWrite::symlinkStays()
{
    QFETCH(QByteArray, linkTarget);
    QFETCH(bool, targetExists);
    linkTarget.replace("<abs>", m_folder);
    QCOMPARE(::mkdir(path("real").constData(), 0755), 0);
    if (targetExists)
        writeBytes(path("real/song.INI"), QByteArrayLiteral("old"));
    QCOMPARE(::symlink(linkTarget.constData(), path("link.INI").constData()), 0);

    WriteFileAtomic(path("link.INI"), QByteArrayLiteral("new bytes"));

    struct stat st;
    QCOMPARE(::lstat(path("link.INI").constData(), &st), 0);
    QVERIFY(S_ISLNK(st.st_mode));
    char stored[4096] = {};
    QVERIFY(::readlink(path("link.INI").constData(), stored, sizeof stored - 1) > 0);
    QCOMPARE(QByteArray(stored), linkTarget);
    QCOMPARE(readBytes(path("real/song.INI")), QByteArrayLiteral("new bytes"));
    QCOMPARE(folderNames(path("real")), QList<QByteArray> { "song.INI" });
}

void tst_FileWrite::permissions_data()
{
    QTest::addColumn<int>("oldMode"); // -1: no file
    QTest::addColumn<int>("umaskBits");
    QTest::addColumn<int>("expectedMode");

    QTest::newRow("keeps-0640") << 0640 << 022 << 0640;
    QTest::newRow("keeps-0600") << 0600 << 022 << 0600;
    QTest::newRow("keeps-0666-despite-umask") << 0666 << 077 << 0666;
    QTest::newRow("write-bit-for-group-only") << 0464 << 022 << 0464;
    QTest::newRow("new-file-umask-022") << -1 << 022 << 0644;
    QTest::newRow("new-file-umask-077") << -1 << 077 << 0600;
}

void tst_FileWrite::permissions()
{
    QFETCH(int, oldMode);
    QFETCH(int, umaskBits);
    QFETCH(int, expectedMode);
    const QByteArray target = path("song.INI");
    if (oldMode >= 0) {
        writeBytes(target, QByteArrayLiteral("old"));
        QCOMPARE(::chmod(target.constData(), mode_t(oldMode)), 0);
    }
    const mode_t saved = ::umask(mode_t(umaskBits));
    const QString error = writeError(target, QByteArrayLiteral("new"));
    ::umask(saved);
    QCOMPARE(error, QString());
    QCOMPARE(int(modeOf(target)), expectedMode);
    QCOMPARE(readBytes(target), QByteArrayLiteral("new"));
}

void tst_FileWrite::refused_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<int>("fileMode"); // -1: no file
    QTest::addColumn<int>("folderMode"); // mode of the folder "f" the file is in

    QTest::newRow("read-only-file") << QByteArray("f/song.INI") << 0444 << 0755;
    QTest::newRow("no-bits-file") << QByteArray("f/song.INI") << 0000 << 0755;
    QTest::newRow("read-only-folder-existing-file") << QByteArray("f/song.INI") << 0644 << 0555;
    QTest::newRow("read-only-folder-new-file") << QByteArray("f/song.INI") << -1 << 0555;
    QTest::newRow("missing-folder") << QByteArray("f/missing/song.INI") << -1 << 0755;
    QTest::newRow("target-is-folder") << QByteArray("f") << -1 << 0755;
    QTest::newRow("trailing-slash") << QByteArray("f/") << -1 << 0755;
}

void tst_FileWrite::refused()
{
    QFETCH(QByteArray, name);
    QFETCH(int, fileMode);
    QFETCH(int, folderMode);
    QCOMPARE(::mkdir(path("f").constData(), 0755), 0);
    const QByteArray target = m_folder + '/' + name;
    const QByteArray before = QByteArrayLiteral("[Info]\r\nA=1\r\n");
    if (fileMode >= 0) {
        writeBytes(target, before);
        QCOMPARE(::chmod(target.constData(), mode_t(fileMode)), 0);
    }
    const QList<QByteArray> namesBefore = folderNames(path("f"));
    QCOMPARE(::chmod(path("f").constData(), mode_t(folderMode)), 0);

    const QString error = writeError(target, QByteArrayLiteral("new"));

    ::chmod(path("f").constData(), 0755);
    QCOMPARE(error, QStringLiteral("Unable to write to ") + QString::fromUtf8(target));
    if (fileMode >= 0)
        QCOMPARE(readBytes(target), before);
    QCOMPARE(folderNames(path("f")), namesBefore);
}

void tst_FileWrite::failedWriteKeepsOldFile()
{
    // A file-size limit makes the write of the new bytes fail half-way, as a
    // full disk would.
    const QByteArray target = path("song.INI");
    const QByteArray before = QByteArrayLiteral("[Info]\r\nUsageCount = 7\r\n");
    writeBytes(target, before);
    struct rlimit saved;
    QCOMPARE(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit = saved;
    limit.rlim_cur = 4096;
    QCOMPARE(::setrlimit(RLIMIT_FSIZE, &limit), 0);

    const QString error = writeError(target, QByteArray(100000, 'x'));

    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    QCOMPARE(error, QStringLiteral("Unable to write to ") + QString::fromUtf8(target));
    QCOMPARE(readBytes(target), before);
    QCOMPARE(folderNames(m_folder), QList<QByteArray> { "song.INI" });
}

// Every check passes, and only the final rename fails: the target is a
// mount point (another file bound over it), which the kernel refuses to
// replace with EBUSY.
void tst_FileWrite::renameRefusedOnMountPoint()
{
    // A mount namespace of its own keeps the bind mount away from the system.
    if (::geteuid() != 0 || ::unshare(CLONE_NEWNS) != 0
        || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        QSKIP("Mounting needs the super-user");
    const QByteArray target = path("song.INI");
    const QByteArray source = path("other.INI");
    writeBytes(target, "[Info]\r\nA=1\r\n");
    writeBytes(source, "[Info]\r\nA=mounted\r\n");
    QCOMPARE(::mount(source.constData(), target.constData(), nullptr, MS_BIND, nullptr), 0);

    const QString error = writeError(target, QByteArrayLiteral("new"));
    const QList<QByteArray> names = folderNames(m_folder);
    const QByteArray seen = readBytes(target);

    QCOMPARE(::umount2(target.constData(), MNT_DETACH), 0);
    QCOMPARE(error, QStringLiteral("Unable to write to ") + QString::fromUtf8(target));
    QCOMPARE(names, QList<QByteArray>({ "other.INI", "song.INI" }));
    QCOMPARE(seen, QByteArray("[Info]\r\nA=mounted\r\n"));
    QCOMPARE(readBytes(target), QByteArray("[Info]\r\nA=1\r\n"));
}

void tst_FileWrite::readWholeFile_data()
{
    QTest::addColumn<QByteArray>("kind");
    QTest::addColumn<bool>("expectedOk");
    QTest::addColumn<QByteArray>("expectedBytes");

    QTest::newRow("missing") << QByteArray("missing") << false << QByteArray();
    QTest::newRow("empty-file") << QByteArray("file") << true << QByteArray();
    QTest::newRow("crlf-bytes") << QByteArray("file") << true << QByteArrayLiteral("[Info]\r\n\0\xFF");
    QTest::newRow("3-mb") << QByteArray("file") << true << QByteArray(3 * 1024 * 1024 + 7, 'z');
    QTest::newRow("folder") << QByteArray("folder") << false << QByteArray();
    QTest::newRow("fifo") << QByteArray("fifo") << false << QByteArray();
}

void tst_FileWrite::readWholeFile()
{
    QFETCH(QByteArray, kind);
    QFETCH(bool, expectedOk);
    QFETCH(QByteArray, expectedBytes);
    const QByteArray target = path("x.INI");
    if (kind == "file")
        writeBytes(target, expectedBytes);
    else if (kind == "folder")
        QCOMPARE(::mkdir(target.constData(), 0755), 0);
    else if (kind == "fifo")
        QCOMPARE(::mkfifo(target.constData(), 0644), 0);
    QByteArray bytes = QByteArrayLiteral("stale");
    QCOMPARE(ReadWholeFile(target, bytes), expectedOk);
    QVERIFY(bytes == expectedBytes);
}

void tst_FileWrite::readFileForUpdate_data()
{
    QTest::addColumn<QByteArray>("kind");
    QTest::addColumn<bool>("expectedOk");

    QTest::newRow("missing-is-empty") << QByteArray("missing") << true;
    QTest::newRow("dangling-link-is-empty") << QByteArray("dangling") << true;
    QTest::newRow("folder-refused") << QByteArray("folder") << false;
    QTest::newRow("fifo-refused") << QByteArray("fifo") << false;
}

void tst_FileWrite::readFileForUpdate()
{
    QFETCH(QByteArray, kind);
    QFETCH(bool, expectedOk);
    const QByteArray target = path("x.INI");
    if (kind == "dangling")
        QCOMPARE(::symlink("nowhere.INI", target.constData()), 0);
    else if (kind == "folder")
        QCOMPARE(::mkdir(target.constData(), 0755), 0);
    else if (kind == "fifo")
        QCOMPARE(::mkfifo(target.constData(), 0644), 0);
    QByteArray bytes = QByteArrayLiteral("stale");
    QCOMPARE(ReadFileForUpdate(target, bytes), expectedOk);
    QCOMPARE(bytes, QByteArray());
}

void tst_FileWrite::displayPath()
{
    QCOMPARE(DisplayPath(QByteArrayLiteral("/m/Caf\xC3\xA9.INI")), QStringLiteral("/m/Café.INI"));
    QCOMPARE(DisplayPath(QByteArrayLiteral("/m/Caf\xE9.INI")), QStringLiteral("/m/Caf\uFFFD.INI"));
}

QTEST_GUILESS_MAIN(tst_FileWrite)
#include "tst_FileWrite.moc"
