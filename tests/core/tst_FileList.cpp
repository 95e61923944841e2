// The tree listing on real folders: which files below the music folder are
// songs, folders reached twice or in a loop, unreadable folders, names that
// are not UTF-8, and the order of the paths.

#include "FileList.h"
#include "TestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

// Root reads any folder whatever its permission bits say, so as root the
// listing runs as the user "nobody" while this lives.
class ReadAsNobody
{
public:
    ReadAsNobody()
        : m_root(::geteuid() == 0)
    {
        if (m_root)
            QVERIFY(::seteuid(65534) == 0);
    }
    ~ReadAsNobody()
    {
        if (m_root) {
            QVERIFY(::seteuid(0) == 0);
            // A change of user makes /proc/self root's alone; it is ours again.
            ::prctl(PR_SET_DUMPABLE, 1);
        }
    }

private:
    bool m_root;
};

} // namespace

class TestFileList : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void treeListing_data();
    void treeListing();
};

void TestFileList::treeListing_data()
{
    // Entries below a temporary folder (see TestSupport::makeTree), its
    // "music" folder being the one listed; a folder made unreadable; the
    // paths listed, in order; unreadable folders; the real folders outside
    // "music" that listed links lead to, in byte order.
    QTest::addColumn<QList<QByteArray>>("entries");
    QTest::addColumn<QByteArray>("locked");
    QTest::addColumn<QList<QByteArray>>("expected");
    QTest::addColumn<int>("unreadable");
    QTest::addColumn<QList<QByteArray>>("linked");

    QTest::newRow("nested, folder order")
        << QList<QByteArray> { "music/top.mp3", "music/A/02 Two.mp3", "music/A/B/01 One.mp3",
               "music/A B/x.mp3", "music/a-b/y.mp3", "music/Zed.mp3", "music/zed/inner.mp3", "music/Empty/" }
        << QByteArray()
        << QList<QByteArray> { "A/02 Two.mp3", "A/B/01 One.mp3", "A B/x.mp3", "a-b/y.mp3", "top.mp3",
               "zed/inner.mp3", "Zed.mp3" }
        << 0 << QList<QByteArray>();
    QTest::newRow("each extension, any letter case")
        << QList<QByteArray> { "music/a.mp3", "music/b.MP3", "music/c.flac", "music/d.FLAC", "music/e.ogg",
               "music/f.Ogg", "music/g.oga", "music/h.opus", "music/i.OPUS", "music/j.m4a", "music/k.M4A",
               "music/l.wav", "music/m.mp4", "music/n.m4a.txt", "music/oflac", "music/p.opu", "music/q.mp",
               "music/Sub/s.Flac", "music/t.mp3/inner.oga" }
        << QByteArray()
        << QList<QByteArray> { "a.mp3", "b.MP3", "c.flac", "d.FLAC", "e.ogg", "f.Ogg", "g.oga", "h.opus",
               "i.OPUS", "j.m4a", "k.M4A", "Sub/s.Flac", "t.mp3/inner.oga" }
        << 0 << QList<QByteArray>();
    QTest::newRow("hidden files and folders")
        << QList<QByteArray> { "music/.hidden.mp3", "music/.folder/a.mp3", "music/A/.b.flac",
               "music/A/.sub/c.ogg", "music/A/d.ogg", "music/B/.e.opus" }
        << QByteArray() << QList<QByteArray> { "A/d.ogg" } << 0 << QList<QByteArray>();
    QTest::newRow("links to files and folders")
        << QList<QByteArray> { "music/Real/a.mp3", "music/Alias -> Real", "other/b.ogg",
               "music/Outside -> ../other", "elsewhere/song.mp3", "music/single.mp3 -> ../elsewhere/song.mp3",
               "music/Real/again.mp3 -> a.mp3", "music/dangling.mp3 -> missing.mp3",
               "music/device.mp3 -> /dev/null" }
        << QByteArray() << QList<QByteArray> { "Outside/b.ogg", "Real/a.mp3", "Real/again.mp3", "single.mp3" }
        << 0 << QList<QByteArray> { "elsewhere", "other" };
    QTest::newRow("link loops") << QList<QByteArray> { "music/A/a.mp3", "music/A/Up -> ..",
        "music/A/Self -> .", "music/X -> Y", "music/Y -> X" }
                                << QByteArray() << QList<QByteArray> { "A/a.mp3" } << 0
                                << QList<QByteArray>();
    // A bind mount needs root; two links to one folder reach it twice too.
    QTest::newRow("second path to a folder")
        << QList<QByteArray> { "other/c.mp3", "music/Two -> ../other", "music/One -> ../other" }
        << QByteArray() << QList<QByteArray> { "One/c.mp3" } << 0 << QList<QByteArray> { "other" };
    QTest::newRow("unreadable folder")
        << QList<QByteArray> { "music/Locked/a.mp3", "music/Locked/Sub/b.mp3", "music/Open/c.mp3" }
        << QByteArray("music/Locked") << QList<QByteArray> { "Open/c.mp3" } << 1 << QList<QByteArray>();
    QTest::newRow("unreadable music folder") << QList<QByteArray> { "music/a.mp3" } << QByteArray("music")
                                             << QList<QByteArray>() << 1 << QList<QByteArray>();
    QTest::newRow("missing music folder") << QList<QByteArray> { "other/a.mp3" } << QByteArray()
                                          << QList<QByteArray>() << 0 << QList<QByteArray>();
    // Each folder name folds on its own: "\xc3\x89" (E acute, UTF-8) folds to
    // "\xc3\xa9" even where the file's name is not UTF-8; bytes that are not
    // UTF-8 sort by their value.
    QTest::newRow("names not UTF-8") << QList<QByteArray> { "music/Caf\xe9/\xe9t\xe9.flac",
        "music/Cafe/x.mp3", "music/CAF\xc9/y.ogg", "music/\xc3\x89mile/\xe9.mp3", "music/\xc3\xa9mile/a.mp3" }
                                     << QByteArray()
                                     << QList<QByteArray> { "Cafe/x.mp3", "CAF\xc9/y.ogg",
                                            "Caf\xe9/\xe9t\xe9.flac", "\xc3\xa9mile/a.mp3",
                                            "\xc3\x89mile/\xe9.mp3" }
                                     << 0 << QList<QByteArray>();
}

void TestFileList::treeListing()
{
    QFETCH(QList<QByteArray>, entries);
    QFETCH(QByteArray, locked);
    QFETCH(QList<QByteArray>, expected);
    QFETCH(int, unreadable);
    QFETCH(QList<QByteArray>, linked);

    QTemporaryDir dir;
    const QByteArray root = QFile::encodeName(QFileInfo(dir.path()).canonicalFilePath());
    QVERIFY(::chmod(root.constData(), 0755) == 0);
    TestSupport::makeTree(root, entries);
    if (!locked.isEmpty())
        QVERIFY(::chmod((root + '/' + locked).constData(), 0) == 0);

    // Every folder it opened is closed again, whatever it met.
    const auto openDescriptors = [] {
        return QDir(QStringLiteral("/proc/self/fd"))
            .entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)
            .size();
    };
    const qsizetype openBefore = openDescriptors();
    TFileList files;
    {
        const ReadAsNobody reader;
        files.rereadTree(root + "/music");
    }
    QCOMPARE(openDescriptors(), openBefore);
    QList<QByteArray> names;
    for (int i = 0; i < files.count(); ++i)
        names << files.rawName(i).toByteArray();
    QCOMPARE(names, expected);
    QCOMPARE(files.unreadableFolders(), unreadable);
    for (const QByteArray &name : std::as_const(expected))
        QVERIFY2(files.containsName(name), name.constData());

    QList<QByteArray> linkedFolders;
    for (const QByteArray &folder : files.linkedFolders())
        linkedFolders << (folder.startsWith(root + '/') ? folder.mid(root.size() + 1) : folder);
    std::sort(linkedFolders.begin(), linkedFolders.end());
    QCOMPARE(linkedFolders, linked);
    TestSupport::removeTree(root);
}

QTEST_GUILESS_MAIN(TestFileList)
#include "tst_FileList.moc"
