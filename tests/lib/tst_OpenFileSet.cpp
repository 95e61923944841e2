// Which files other processes hold open, seen through real child processes:
// readers, writers and stopped processes count; our own descriptors, a mere
// stat and a namesake in another folder do not.

#include "FIL_Func.h"
#include "OpenFileSet.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace
{

enum class Holder { None, Reader, StoppedReader, Writer, OwnReader, OwnWriter };

// A "sleep" child with path open for appending on its standard output.
class FileWriter
{
public:
    explicit FileWriter(const QString &path)
    {
        m_process.setStandardOutputFile(path, QIODevice::Append);
        m_process.start(u"sleep"_s, { u"600"_s });
        m_process.waitForStarted();
    }
    ~FileWriter()
    {
        m_process.kill();
        m_process.waitForFinished();
    }
    bool isRunning() const { return m_process.state() == QProcess::Running; }

private:
    QProcess m_process;
};

// The state letter of process pid ('T' when stopped), or 0 when unknown.
char processState(qint64 pid)
{
    QFile stat(u"/proc/%1/stat"_s.arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray line = stat.readAll();
    const qsizetype close = line.lastIndexOf(')');
    return close >= 0 && close + 2 < line.size() ? line.at(close + 2) : 0;
}

} // namespace

class TestOpenFileSet : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void heldOpen_data();
    void heldOpen();
    void releasedWhenHolderEnds();
    void emptySetAndBadPaths();
    void sweptFolders_data();
    void sweptFolders();

private:
    QByteArray native(const QString &name) const { return QFile::encodeName(m_dir->filePath(name)); }
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestOpenFileSet::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    QVERIFY(QDir(m_dir->path()).mkpath(u"A"_s));
    QVERIFY(QDir(m_dir->path()).mkpath(u"B"_s));
    TestSupport::writeBytes(native(u"A/song.mp3"_s), "12345");
    TestSupport::writeBytes(native(u"B/song.mp3"_s), "abc");
    QVERIFY(QFile::link(m_dir->filePath(u"A/song.mp3"_s), m_dir->filePath(u"link.mp3"_s)));
    QCOMPARE(::link(native(u"A/song.mp3"_s).constData(), native(u"hard.mp3"_s).constData()), 0);
}

void TestOpenFileSet::heldOpen_data()
{
    QTest::addColumn<Holder>("holder");
    QTest::addColumn<QString>("heldName");
    QTest::addColumn<QString>("queriedName");
    QTest::addColumn<bool>("held");
    QTest::addColumn<qint64>("size");

    const QString a = u"A/song.mp3"_s;
    QTest::newRow("held-read-only") << Holder::Reader << a << a << true << qint64(-1);
    QTest::newRow("held-by-stopped-process") << Holder::StoppedReader << a << a << true << qint64(-1);
    QTest::newRow("held-by-writer") << Holder::Writer << a << a << true << qint64(-1);
    QTest::newRow("held-through-symlink") << Holder::Reader << u"link.mp3"_s << a << true << qint64(-1);
    QTest::newRow("queried-through-symlink") << Holder::Reader << a << u"link.mp3"_s << true << qint64(-1);
    QTest::newRow("hard-link-is-same-file") << Holder::Reader << a << u"hard.mp3"_s << true << qint64(-1);
    QTest::newRow("same-name-other-folder") << Holder::Reader << a << u"B/song.mp3"_s << false << qint64(3);
    QTest::newRow("only-stat") << Holder::None << a << a << false << qint64(5);
    QTest::newRow("own-process-reader") << Holder::OwnReader << a << a << false << qint64(5);
    QTest::newRow("own-process-writer") << Holder::OwnWriter << a << a << false << qint64(5);
    QTest::newRow("missing-file") << Holder::Reader << a << u"A/other.mp3"_s << false << qint64(-1);
}

void TestOpenFileSet::heldOpen()
{
    QFETCH(Holder, holder);
    QFETCH(QString, heldName);
    QFETCH(QString, queriedName);
    QFETCH(bool, held);
    QFETCH(qint64, size);

    const QString heldPath = m_dir->filePath(heldName);
    std::unique_ptr<TestSupport::FileHolder> reader;
    std::unique_ptr<FileWriter> writer;
    QFile own(heldPath);
    switch (holder) {
    case Holder::None:
        break;
    case Holder::Reader:
    case Holder::StoppedReader:
        reader = std::make_unique<TestSupport::FileHolder>(heldPath);
        QVERIFY(reader->isRunning());
        break;
    case Holder::Writer:
        writer = std::make_unique<FileWriter>(heldPath);
        QVERIFY(writer->isRunning());
        break;
    case Holder::OwnReader:
        QVERIFY(own.open(QIODevice::ReadOnly));
        break;
    case Holder::OwnWriter:
        QVERIFY(own.open(QIODevice::ReadWrite));
        break;
    }
    if (holder == Holder::StoppedReader) {
        QCOMPARE(::kill(pid_t(reader->pid()), SIGSTOP), 0);
        QTRY_COMPARE(processState(reader->pid()), 'T');
    }

    const QByteArray queried = native(queriedName);
    const OpenFileSet set = OpenFileSet::sweep(QFile::encodeName(m_dir->path()));
    QCOMPARE(set.containsPath(queried), held);
    QCOMPARE(FileSizeOf(queried, set), size);
    QCOMPARE(FileSizeOf(m_dir->filePath(queriedName)), size);

    if (holder == Holder::StoppedReader)
        ::kill(pid_t(reader->pid()), SIGCONT);
    // Holding the file open must not have changed it.
    QCOMPARE(TestSupport::readBytes(native(u"A/song.mp3"_s)), QByteArray("12345"));
}

void TestOpenFileSet::releasedWhenHolderEnds()
{
    const QByteArray song = native(u"A/song.mp3"_s);
    {
        TestSupport::FileHolder holder(m_dir->filePath(u"A/song.mp3"_s));
        QVERIFY(holder.isRunning());
        QVERIFY(OpenFileSet::sweep(QFile::encodeName(m_dir->path())).containsPath(song));
    }
    const OpenFileSet after = OpenFileSet::sweep(QFile::encodeName(m_dir->path()));
    QVERIFY(!after.containsPath(song));
    QCOMPARE(FileSizeOf(song, after), qint64(5));
}

void TestOpenFileSet::emptySetAndBadPaths()
{
    TestSupport::FileHolder holder(m_dir->filePath(u"A/song.mp3"_s));
    QVERIFY(holder.isRunning());

    const OpenFileSet none;
    QCOMPARE(none.size(), size_t(0));
    QVERIFY(!none.containsPath(native(u"A/song.mp3"_s)));
    QCOMPARE(FileSizeOf(native(u"A/song.mp3"_s), none), qint64(5));

    const OpenFileSet set = OpenFileSet::sweep(QFile::encodeName(m_dir->path()));
    QVERIFY(set.containsPath(native(u"A/song.mp3"_s)));
    QVERIFY(!set.containsPath(QByteArray()));
    // A name cut at a zero byte must not stand for the file before it.
    QVERIFY(!set.containsPath(native(u"A/song.mp3"_s) + QByteArray("\0x", 2)));
    QCOMPARE(FileSizeOf(native(u"A/song.mp3"_s) + QByteArray("\0x", 2), OpenFileSet()), qint64(-1));
}

void TestOpenFileSet::sweptFolders_data()
{
    QTest::addColumn<QString>("heldName");
    QTest::addColumn<QString>("sweptFolder"); // relative to the test folder
    QTest::addColumn<bool>("held");

    QTest::newRow("in-the-folder") << u"A/song.mp3"_s << u"A"_s << true;
    QTest::newRow("below-the-folder") << u"A/song.mp3"_s << u""_s << true;
    QTest::newRow("folder-with-trailing-slash") << u"A/song.mp3"_s << u"A/"_s << true;
    QTest::newRow("folder-named-through-link") << u"A/song.mp3"_s << u"linkA"_s << true;
    QTest::newRow("other-folder") << u"B/song.mp3"_s << u"A"_s << false;
    QTest::newRow("folder-name-is-a-prefix") << u"AB/song.mp3"_s << u"A"_s << false;
    QTest::newRow("missing-folder") << u"A/song.mp3"_s << u"none"_s << false;
}

// Only descriptors under the swept folders are looked at; a file is known by
// its device and inode together.
void TestOpenFileSet::sweptFolders()
{
    QFETCH(QString, heldName);
    QFETCH(QString, sweptFolder);
    QFETCH(bool, held);
    QVERIFY(QDir(m_dir->path()).mkpath(u"AB"_s));
    TestSupport::writeBytes(native(u"AB/song.mp3"_s), "xy");
    QVERIFY(QFile::link(m_dir->filePath(u"A"_s), m_dir->filePath(u"linkA"_s)));
    TestSupport::FileHolder holder(m_dir->filePath(heldName));
    QVERIFY(holder.isRunning());

    const OpenFileSet set = OpenFileSet::sweep(QFile::encodeName(m_dir->path() + u'/' + sweptFolder));
    QCOMPARE(set.containsPath(native(heldName)), held);
    struct stat st;
    QCOMPARE(::stat(native(heldName).constData(), &st), 0);
    QCOMPARE(set.contains(st.st_dev, st.st_ino), held);
    // The same inode number on another file system is another file.
    QVERIFY(!set.contains(st.st_dev + 1, st.st_ino));
    QVERIFY(!set.contains(st.st_dev, st.st_ino + 1));
}

QTEST_GUILESS_MAIN(TestOpenFileSet)
#include "tst_OpenFileSet.moc"
