// Trailing "/" of folder names, creating empty files with their folders, and
// the size probe: real sizes beyond 32 bits, -1 for files we cannot read.

#include "FIL_Func.h"
#include "OpenFileSet.h"
#include "QLXError.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace
{

// The message of the EQLXError that CreateEmptyFile throws, or its result.
QString createResult(const QString &fileName)
{
    try {
        return CreateEmptyFile(fileName) ? u"true"_s : u"false"_s;
    } catch (const EQLXError &e) {
        return e.message();
    }
}

// True when path names an existing regular file of no bytes.
bool isEmptyFile(const QString &path)
{
    struct stat st;
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size == 0;
}

struct stat statOf(mode_t mode, uid_t owner, gid_t group)
{
    struct stat st = {};
    st.st_mode = S_IFREG | mode;
    st.st_uid = owner;
    st.st_gid = group;
    return st;
}

} // namespace

class TestFilFunc : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void backslash_data();
    void backslash();
    void extensionStart_data();
    void extensionStart();
    void createEmptyFile_data();
    void createEmptyFile();
    void createEmptyFileBareName();
    void createEmptyFileRelative();
    void sizeOf_data();
    void sizeOf();
    void sizeOfLargeSparse_data();
    void sizeOfLargeSparse();
    void sizeOfUnreadable();
    void modeAllowsReading_data();
    void modeAllowsReading();
    void sizeAsAnotherUser_data();
    void sizeAsAnotherUser();

private:
    QString path(const QString &name) const { return m_dir->filePath(name); }
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestFilFunc::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void TestFilFunc::backslash_data()
{
    QTest::addColumn<QString>("dir");
    QTest::addColumn<QString>("added");
    QTest::addColumn<QString>("removed");

    QTest::newRow("empty") << QString() << QString() << QString();
    QTest::newRow("no-slash") << u"/home/me/Music"_s << u"/home/me/Music/"_s << u"/home/me/Music"_s;
    QTest::newRow("trailing-slash") << u"/home/me/Music/"_s << u"/home/me/Music/"_s << u"/home/me/Music"_s;
    QTest::newRow("two-trailing-slashes") << u"Music//"_s << u"Music//"_s << u"Music/"_s;
    QTest::newRow("relative-name") << u"Music"_s << u"Music/"_s << u"Music"_s;
    QTest::newRow("root") << u"/"_s << u"/"_s << u"/"_s;
    QTest::newRow("windows-delimiter-is-a-char") << u"C:\\Music\\"_s << u"C:\\Music\\/"_s << u"C:\\Music\\"_s;
}

void TestFilFunc::backslash()
{
    QFETCH(QString, dir);
    QFETCH(QString, added);
    QFETCH(QString, removed);
    QCOMPARE(AddBackslash(dir), added);
    QCOMPARE(RemoveBackslash(dir), removed);
}

void TestFilFunc::extensionStart_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("withoutExtension");

    QTest::newRow("song") << u"/music/Artist-Title.mp3"_s << u"/music/Artist-Title"_s;
    QTest::newRow("last-extension-only") << u"a.b-c.mp3"_s << u"a.b-c"_s;
    QTest::newRow("no-extension") << u"discora"_s << u"discora"_s;
    QTest::newRow("trailing-dot") << u"Song."_s << u"Song"_s;
    QTest::newRow("folder-dots-ignored") << u"/music/v1.2/Song"_s << u"/music/v1.2/Song"_s;
    QTest::newRow("dot-file-has-none") << u".discora"_s << u".discora"_s;
    QTest::newRow("dot-file-in-folder-has-none") << u"/opt/a.b/.discora"_s << u"/opt/a.b/.discora"_s;
    QTest::newRow("dot-file-with-extension") << u".discora.bin"_s << u".discora"_s;
    QTest::newRow("empty") << QString() << QString();
}

void TestFilFunc::extensionStart()
{
    QFETCH(QString, path);
    QFETCH(QString, withoutExtension);
    QCOMPARE(path.left(ExtensionStart(path)), withoutExtension);
    const QByteArray bytes = path.toUtf8();
    QCOMPARE(bytes.left(ExtensionStart(bytes)), withoutExtension.toUtf8());
}

void TestFilFunc::createEmptyFile_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("result");
    QTest::addColumn<bool>("existsEmpty");

    QTest::newRow("new-file") << u"song.INI"_s << u"true"_s << true;
    QTest::newRow("existing-file-emptied") << u"full.INI"_s << u"true"_s << true;
    QTest::newRow("missing-folder-tree") << u"a/b/c/song.INI"_s << u"true"_s << true;
    QTest::newRow("folder-part-with-trailing-slashes") << u"a//song.INI"_s << u"true"_s << true;
    QTest::newRow("name-is-a-folder") << u"folder"_s << u"false"_s << false;
    QTest::newRow("name-ends-in-slash") << u"newdir/"_s << u"false"_s << false;
    QTest::newRow("folder-part-is-a-file")
        << u"full.INI/song.INI"_s << u"Unable to create directory"_s << false;
    QTest::newRow("nul-in-name") << u"so\0ng.INI"_s << u"false"_s << false;
}

void TestFilFunc::createEmptyFile()
{
    QFETCH(QString, name);
    QFETCH(QString, result);
    QFETCH(bool, existsEmpty);

    TestSupport::writeBytes(path(u"full.INI"_s), "[Song]\r\nTitle=x\r\n");
    QVERIFY(QDir(m_dir->path()).mkdir(u"folder"_s));

    QCOMPARE(createResult(path(name)), result);
    QCOMPARE(isEmptyFile(path(name)), existsEmpty);
    if (name != u"full.INI"_s)
        QCOMPARE(TestSupport::readBytes(path(u"full.INI"_s)), QByteArray("[Song]\r\nTitle=x\r\n"));
}

// A name without a folder has no folder that could be created.
void TestFilFunc::createEmptyFileBareName()
{
    QCOMPARE(createResult(u"song.INI"_s), u"Unable to create directory"_s);
    QCOMPARE(createResult(QString()), u"false"_s);
}

void TestFilFunc::createEmptyFileRelative()
{
    const QString saved = QDir::currentPath();
    QVERIFY(QDir::setCurrent(m_dir->path()));
    const QString result = createResult(u"sub/song.INI"_s);
    QDir::setCurrent(saved);
    QCOMPARE(result, u"true"_s);
    QVERIFY(isEmptyFile(path(u"sub/song.INI"_s)));
}

void TestFilFunc::sizeOf_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<qint64>("size");

    QTest::newRow("missing") << u"missing.mp3"_s << qint64(-1);
    QTest::newRow("empty") << u"empty.mp3"_s << qint64(0);
    QTest::newRow("five-bytes") << u"five.mp3"_s << qint64(5);
    QTest::newRow("folder") << u"folder"_s << qint64(-1);
    QTest::newRow("link-to-file") << u"link.mp3"_s << qint64(5);
    QTest::newRow("dangling-link") << u"dangling.mp3"_s << qint64(-1);
    QTest::newRow("link-to-device") << u"null.mp3"_s << qint64(-1);
    QTest::newRow("empty-name") << QString() << qint64(-1);
}

void TestFilFunc::sizeOf()
{
    QFETCH(QString, name);
    QFETCH(qint64, size);

    TestSupport::writeBytes(path(u"empty.mp3"_s), "");
    TestSupport::writeBytes(path(u"five.mp3"_s), "12345");
    QVERIFY(QDir(m_dir->path()).mkdir(u"folder"_s));
    QVERIFY(QFile::link(path(u"five.mp3"_s), path(u"link.mp3"_s)));
    QVERIFY(QFile::link(path(u"gone.mp3"_s), path(u"dangling.mp3"_s)));
    QVERIFY(QFile::link(u"/dev/null"_s, path(u"null.mp3"_s)));

    const QString file = name.isEmpty() ? QString() : path(name);
    QCOMPARE(FileSizeOf(file), size);
    QCOMPARE(FileSizeOf(QFile::encodeName(file), OpenFileSet()), size);
}

void TestFilFunc::sizeOfLargeSparse_data()
{
    QTest::addColumn<qint64>("size");

    QTest::newRow("2GiB-1") << Q_INT64_C(2147483647);
    QTest::newRow("2GiB") << Q_INT64_C(2147483648);
    QTest::newRow("2GiB+1") << Q_INT64_C(2147483649);
    QTest::newRow("4GiB") << Q_INT64_C(4294967296);
    QTest::newRow("4GiB+5") << Q_INT64_C(4294967301);
}

void TestFilFunc::sizeOfLargeSparse()
{
    QFETCH(qint64, size);
    const QByteArray file = QFile::encodeName(path(u"big.mp3"_s));
    const int fd = ::open(file.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    QVERIFY(fd >= 0);
    const bool grown = ::ftruncate(fd, size) == 0;
    ::close(fd);
    if (!grown)
        QSKIP("this file system cannot hold a sparse file of that size");
    QCOMPARE(FileSizeOf(file, OpenFileSet()), size);
}

// Without read permission the file cannot be opened; the super-user may
// open it all the same.
void TestFilFunc::sizeOfUnreadable()
{
    const QString file = path(u"secret.mp3"_s);
    TestSupport::writeBytes(file, "abc");
    QVERIFY(::chmod(QFile::encodeName(file).constData(), 0) == 0);
    const qint64 expected = ::geteuid() == 0 ? 3 : -1;
    QCOMPARE(FileSizeOf(file), expected);
}

void TestFilFunc::modeAllowsReading_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("owner");
    QTest::addColumn<int>("group");
    QTest::addColumn<bool>("allowed");

    // The reader is user 1000, group 100, also in group 24.
    QTest::newRow("owner-may-read") << 0400 << 1000 << 5 << true;
    QTest::newRow("owner-without-r") << 0044 << 1000 << 100 << false;
    QTest::newRow("owner-write-only") << 0200 << 1000 << 5 << false;
    QTest::newRow("group-may-read") << 0040 << 1 << 100 << true;
    QTest::newRow("group-without-r") << 0604 << 1 << 100 << false;
    QTest::newRow("supplementary-group") << 0040 << 1 << 24 << true;
    QTest::newRow("supplementary-group-without-r") << 0404 << 1 << 24 << false;
    QTest::newRow("other-may-read") << 0004 << 1 << 5 << true;
    QTest::newRow("other-without-r") << 0440 << 1 << 5 << false;
    QTest::newRow("other-execute-only") << 0001 << 1 << 5 << false;
}

void TestFilFunc::modeAllowsReading()
{
    QFETCH(int, mode);
    QFETCH(int, owner);
    QFETCH(int, group);
    QFETCH(bool, allowed);

    const struct stat st = statOf(mode_t(mode), uid_t(owner), gid_t(group));
    QCOMPARE(ModeAllowsReading(st, FileReader { 1000, 100, { 7, 24 } }), allowed);
    QVERIFY(ModeAllowsReading(st, FileReader { 0, 0, {} }));
}

void TestFilFunc::sizeAsAnotherUser_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QStringList>("acl"); // setfacl -m entries, in order
    QTest::addColumn<QByteArray>("expected"); // at the folder, by path

    QTest::newRow("others-may-read") << 0644 << QStringList() << QByteArray("5 5");
    QTest::newRow("owner-only") << 0600 << QStringList() << QByteArray("-1 -1");
    QTest::newRow("acl-names-the-user") << 0600 << QStringList { u"u:nobody:r"_s } << QByteArray("5 5");
    QTest::newRow("acl-names-the-group") << 0600 << QStringList { u"g:nogroup:r"_s } << QByteArray("5 5");
    QTest::newRow("acl-for-someone-else") << 0600 << QStringList { u"u:daemon:r"_s } << QByteArray("-1 -1");
    QTest::newRow("acl-entry-masked")
        << 0600 << QStringList { u"u:nobody:r"_s, u"m::-"_s } << QByteArray("-1 -1");
}

// Readability as the kernel sees it, for an ordinary user who does not own
// the file: the probe runs in a child process that has dropped to "nobody".
void TestFilFunc::sizeAsAnotherUser()
{
    QFETCH(int, mode);
    QFETCH(QStringList, acl);
    QFETCH(QByteArray, expected);
    if (::geteuid() != 0)
        QSKIP("Changing to another user needs the super-user");
    const QByteArray folder = QFile::encodeName(m_dir->path());
    QVERIFY(::chmod(folder.constData(), 0755) == 0);
    const QString file = path(u"song.mp3"_s);
    TestSupport::writeBytes(file, "12345");
    QVERIFY(::chmod(QFile::encodeName(file).constData(), mode_t(mode)) == 0);
    for (const QString &entry : acl)
        QCOMPARE(QProcess::execute(u"setfacl"_s, { u"-m"_s, entry, file }), 0);

    QProcess probe;
    probe.start(u"setpriv"_s,
        { u"--reuid=nobody"_s, u"--regid=nogroup"_s, u"--clear-groups"_s, QStringLiteral(FILE_SIZE_PROBE),
            m_dir->path(), u"song.mp3"_s });
    QVERIFY(probe.waitForFinished(60000));
    QCOMPARE(probe.exitCode(), 0);
    QCOMPARE(probe.readAllStandardOutput().trimmed(), expected);
}

QTEST_GUILESS_MAIN(TestFilFunc)
#include "tst_FIL_Func.moc"
