// The program settings file: defaults of a first run, what is read from a
// damaged file, and the exact bytes written back.

#include "ProgramSettings.h"
#include "QLXError.h"
#include "TestSupport.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using TestSupport::readBytes;
using TestSupport::writeBytes;

class TestProgramSettings : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void pathFor_data();
    void pathFor();
    void read_data();
    void read();
    void musicDefault_data();
    void musicDefault();
    void firstRunWritesFourKeys();
    void writeKeepsOtherLines();
    void readOnlyFileRefused();
    void foldersByteForByte_data();
    void foldersByteForByte();
};

void TestProgramSettings::pathFor_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("settings");
    QTest::newRow("no-extension") << "/opt/build/discora"
                                  << "/opt/build/discora.INI";
    QTest::newRow("extension") << "/opt/x/discora.bin"
                               << "/opt/x/discora.INI";
    QTest::newRow("two-extensions") << "/opt/x/discora.1.bin"
                                    << "/opt/x/discora.1.INI";
    QTest::newRow("dot-in-folder") << "/opt/v1.5/discora"
                                   << "/opt/v1.5/discora.INI";
    QTest::newRow("dot-file") << "/opt/x/.discora"
                              << "/opt/x/.discora.INI";
}

void TestProgramSettings::pathFor()
{
    QFETCH(QString, program);
    QFETCH(QString, settings);
    QCOMPARE(TProgramSettings::PathFor(program), settings);
}

void TestProgramSettings::read_data()
{
    // %M is replaced by an existing folder, %P by the program's folder.
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("top");
    QTest::addColumn<int>("left");
    QTest::addColumn<QString>("directory");
    QTest::addColumn<QString>("infoDirectory");
    QTest::addColumn<QStringList>("errors");
    QTest::newRow("missing") << QByteArray() << 112 << 309 << "%P"
                             << "%P" << QStringList();
    QTest::newRow("all-keys") << QByteArray(
        "[Coordinates]\r\nTop=20\r\nLeft=-5\r\n[MP3]\r\nDirectory=%M\r\nINI_Directory=/i\r\n")
                              << 20 << -5 << "%M"
                              << "/i" << QStringList();
    QTest::newRow("trailing-slash") << QByteArray("[MP3]\nDirectory=%M/\nINI_Directory=/info/\n") << 112
                                    << 309 << "%M"
                                    << "/info" << QStringList();
    QTest::newRow("root-folder") << QByteArray("[MP3]\nDirectory=/\nINI_Directory=/\n") << 112 << 309 << "/"
                                 << "/" << QStringList();
    QTest::newRow("directory-missing-on-disk")
        << QByteArray("[MP3]\r\nDirectory=/no/such/folder\r\n") << 112 << 309 << "%P"
        << "%P" << QStringList();
    QTest::newRow("top-abc") << QByteArray("[Coordinates]\r\nTop=abc\r\nLeft=7\r\n[MP3]\r\nDirectory=%M\r\n")
                             << 112 << 7 << "%M"
                             << "%M" << QStringList({ "'abc' is not a valid integer value" });
    QTest::newRow("both-bad") << QByteArray("[Coordinates]\r\nTop=1.5\r\nLeft=\r\n") << 112 << 309 << "%P"
                              << "%P"
                              << QStringList({ "'1.5' is not a valid integer value",
                                     "'' is not a valid integer value" });
    QTest::newRow("cr-only-dup-sections")
        << QByteArray("junk\r[mp3]\rdirectory = \"%M\"\r[Coordinates]\rTop=1\r[COORDINATES]\rTop=2\rLeft=3\r")
        << 1 << 309 << "%M"
        << "%M" << QStringList();
    QTest::newRow("binary-garbage") << QByteArray(
        "\x00\xff\xfe[Coord\x00inates]\n\x01\x02=\x03\n[MP3]\nDirectory=%M\n", 43)
                                    << 112 << 309 << "%M"
                                    << "%M" << QStringList();
}

void TestProgramSettings::read()
{
    QFETCH(QByteArray, file);
    QFETCH(int, top);
    QFETCH(int, left);
    QFETCH(QString, directory);
    QFETCH(QString, infoDirectory);
    QFETCH(QStringList, errors);
    QTemporaryDir dir;
    const QString music = dir.filePath(QStringLiteral("music"));
    QVERIFY(QDir().mkdir(music));
    const QString program = QStringLiteral("/opt/discora-test");
    const QString settingsPath = dir.filePath(QStringLiteral("discora.INI"));
    if (!file.isNull())
        writeBytes(settingsPath, file.replace("%M", music.toUtf8()));
    TProgramSettings settings;
    QStringList got;
    settings.read(settingsPath, program, got);
    QCOMPARE(got, errors);
    QCOMPARE(settings.Top, top);
    QCOMPARE(settings.Left, left);
    auto expand = [&](QString s) {
        return s.replace(QStringLiteral("%M"), music).replace(QStringLiteral("%P"), program);
    };
    QCOMPARE(settings.Directory, expand(directory).toUtf8());
    QCOMPARE(settings.INI_Directory, expand(infoDirectory).toUtf8());
}

void TestProgramSettings::musicDefault_data()
{
    // %M: an existing folder the file may name, %U: the user's music folder
    // (made when userMusic is set), %P: the program's folder; an empty
    // default is a copy that keeps its files beside itself.
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("musicDefault");
    QTest::addColumn<bool>("userMusic");
    QTest::addColumn<QString>("directory");
    // Songs in the user's music folder, the kind of library read, and
    // whether writing the folders writes the kind too.
    QTest::addColumn<QStringList>("userSongs");
    QTest::addColumn<QString>("library");
    QTest::addColumn<bool>("writesKind");
    const QStringList none;
    QTest::newRow("installed-no-settings-file")
        << QByteArray() << "%U" << true << "%U" << none << "Folder" << false;
    QTest::newRow("installed-no-directory-key")
        << QByteArray("[Coordinates]\r\nTop=5\r\n") << "%U" << true << "%U" << none << "Folder" << false;
    QTest::newRow("installed-empty-directory")
        << QByteArray("[MP3]\r\nDirectory=\r\n") << "%U" << true << "%U" << none << "Folder" << false;
    QTest::newRow("installed-user-music-absent")
        << QByteArray() << "%U" << false << "%P" << none << "Folder" << false;
    QTest::newRow("installed-named-folder-kept")
        << QByteArray("[MP3]\r\nDirectory=%M\r\n") << "%U" << true << "%M" << none << "Folder" << false;
    QTest::newRow("installed-named-folder-gone") << QByteArray("[MP3]\r\nDirectory=/no/such/folder\r\n")
                                                 << "%U" << true << "%P" << none << "Folder" << false;
    QTest::newRow("beside-program") << QByteArray() << "" << true << "%P" << none << "Folder" << false;
    // A first run on the user's music folder: a tree library when it holds
    // songs in subfolders or of other formats than MP3.
    QTest::newRow("first-run-flat-mp3s")
        << QByteArray() << "%U" << true << "%U"
        << QStringList { "A-One.mp3", "B-Two.MP3", ".hidden/C-Three.flac" } << "Folder" << false;
    QTest::newRow("first-run-nested-mp3")
        << QByteArray() << "%U" << true << "%U" << QStringList { "A-One.mp3", "Artist/Album/01 Two.mp3" }
        << "Tree" << true;
    QTest::newRow("first-run-flac-at-the-top")
        << QByteArray() << "%U" << true << "%U" << QStringList { "A-One.flac" } << "Tree" << true;
    // The file's own choice stands; a named folder is no first run.
    QTest::newRow("named-folder-kind") << QByteArray("[MP3]\r\nLibrary=Folder\r\n") << "%U" << true << "%U"
                                       << QStringList { "Artist/Album/01 Two.mp3" } << "Folder" << true;
    QTest::newRow("named-folder-holding-a-tree")
        << QByteArray("[MP3]\r\nDirectory=%U\r\n") << "%U" << true << "%U"
        << QStringList { "Artist/Album/01 Two.mp3" } << "Folder" << false;
    QTest::newRow("named-tree-any-case") << QByteArray("[MP3]\r\nDirectory=%M\r\nLibrary= tree\r\n") << "%U"
                                         << true << "%M" << none << "Tree" << true;
}

void TestProgramSettings::musicDefault()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, musicDefault);
    QFETCH(bool, userMusic);
    QFETCH(QString, directory);
    QFETCH(QStringList, userSongs);
    QFETCH(QString, library);
    QFETCH(bool, writesKind);
    QTemporaryDir dir;
    const QString music = dir.filePath(QStringLiteral("music"));
    const QString user = dir.filePath(QStringLiteral("home/Music"));
    QVERIFY(QDir().mkdir(music));
    if (userMusic)
        QVERIFY(QDir().mkpath(user));
    for (const QString &song : userSongs) {
        QVERIFY(QDir().mkpath(QFileInfo(user + QLatin1Char('/') + song).absolutePath()));
        writeBytes(user + QLatin1Char('/') + song, "x");
    }
    const QString program = QStringLiteral("/opt/discora-test");
    const QString settingsPath = dir.filePath(QStringLiteral("discora.INI"));
    if (!file.isNull())
        writeBytes(settingsPath, file.replace("%M", music.toUtf8()).replace("%U", user.toUtf8()));
    auto expand = [&](QString s) {
        return s.replace(QStringLiteral("%M"), music)
            .replace(QStringLiteral("%U"), user)
            .replace(QStringLiteral("%P"), program);
    };
    TProgramSettings settings;
    QStringList errors;
    settings.read(settingsPath, program, errors, expand(musicDefault));
    QCOMPARE(errors, QStringList());
    QCOMPARE(settings.Directory, expand(directory).toUtf8());
    QCOMPARE(settings.INI_Directory, expand(directory).toUtf8());
    QCOMPARE(
        settings.Library == TLibraryKind::Tree ? QStringLiteral("Tree") : QStringLiteral("Folder"), library);
    settings.writeFolders(settingsPath);
    QCOMPARE(readBytes(settingsPath).contains("Library="), writesKind);
    TProgramSettings again;
    again.read(settingsPath, program, errors);
    QCOMPARE(again.Library, settings.Library);
}

void TestProgramSettings::firstRunWritesFourKeys()
{
    QTemporaryDir dir;
    const QString settingsPath = dir.filePath(QStringLiteral("discora.INI"));
    TProgramSettings settings;
    QStringList errors;
    settings.read(settingsPath, dir.path() + QLatin1Char('/'), errors);
    settings.write(settingsPath);
    const QByteArray d = dir.path().toUtf8();
    QCOMPARE(readBytes(settingsPath),
        "[Coordinates]\r\nTop=112\r\nLeft=309\r\n[MP3]\r\nDirectory=" + d + "\r\nINI_Directory=" + d
            + "\r\n");
}

void TestProgramSettings::writeKeepsOtherLines()
{
    QTemporaryDir dir;
    const QString settingsPath = dir.filePath(QStringLiteral("discora.INI"));
    const QByteArray before
        = "; mine\n[ViewFile-iloViewer]\nTop=5\n\n[Coordinates]\nLeft = 1\nTop = 2\n[MP3]\nDirectory=/x\n";
    writeBytes(settingsPath, before);
    TProgramSettings settings;
    settings.Top = 30;
    settings.Left = 40;
    settings.Directory = "/music";
    settings.INI_Directory = "/music/info";
    settings.write(settingsPath);
    QCOMPARE(readBytes(settingsPath),
        QByteArray("; mine\n[ViewFile-iloViewer]\nTop=5\n\n[Coordinates]\nLeft = 40\nTop = 30\n[MP3]\n"
                   "Directory=/music\nINI_Directory=/music/info\n"));
}

void TestProgramSettings::readOnlyFileRefused()
{
    QTemporaryDir dir;
    const QString settingsPath = dir.filePath(QStringLiteral("discora.INI"));
    const QByteArray before = "[MP3]\r\nDirectory=/old\r\n";
    writeBytes(settingsPath, before);
    QVERIFY(::chmod(QFile::encodeName(settingsPath).constData(), 0444) == 0);
    TProgramSettings settings;
    settings.Directory = "/new";
    try {
        settings.write(settingsPath);
        QFAIL("a read-only settings file was written");
    } catch (const EQLXError &e) {
        QCOMPARE(e.message(), QStringLiteral("Unable to write to ") + settingsPath);
    }
    QCOMPARE(readBytes(settingsPath), before);
}

void TestProgramSettings::foldersByteForByte_data()
{
    // %T is the test's folder; the folder names in "existing" are created.
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QByteArrayList>("existing");
    QTest::addColumn<QByteArray>("directory");
    QTest::addColumn<QByteArray>("infoDirectory");
    QTest::addColumn<QByteArray>("written");

    const QByteArray coordinates = "[Coordinates]\r\nTop=112\r\nLeft=309\r\n";
    QTest::newRow("latin1-music-folder")
        << QByteArray("[MP3]\r\nDirectory=%T/M\xFCsic\r\n") << QByteArrayList { "M\xFCsic" }
        << QByteArray("%T/M\xFCsic") << QByteArray("%T/M\xFCsic")
        << QByteArray("[MP3]\r\nDirectory=%T/M\xFCsic\r\nINI_Directory=%T/M\xFCsic\r\n") + coordinates;
    QTest::newRow("latin1-both-folders")
        << QByteArray("[MP3]\r\nDirectory=%T/M\xFCsic/\r\nINI_Directory = \"%T/Inf\xF6\"\r\n")
        << QByteArrayList { "M\xFCsic" } << QByteArray("%T/M\xFCsic") << QByteArray("%T/Inf\xF6")
        << QByteArray("[MP3]\r\nDirectory=%T/M\xFCsic\r\nINI_Directory = %T/Inf\xF6\r\n") + coordinates;
    QTest::newRow("utf8-music-folder")
        << QByteArray("[MP3]\r\nDirectory=%T/M\xC3\xBCsic\r\n") << QByteArrayList { "M\xC3\xBCsic" }
        << QByteArray("%T/M\xC3\xBCsic") << QByteArray("%T/M\xC3\xBCsic")
        << QByteArray("[MP3]\r\nDirectory=%T/M\xC3\xBCsic\r\nINI_Directory=%T/M\xC3\xBCsic\r\n")
            + coordinates;
    // Only the UTF-8 spelling exists: the Latin-1 name is another folder.
    QTest::newRow("latin1-folder-really-missing")
        << QByteArray("[MP3]\r\nDirectory=%T/M\xFCsic\r\n") << QByteArrayList { "M\xC3\xBCsic" }
        << QByteArray("%T") << QByteArray("%T")
        << QByteArray("[MP3]\r\nDirectory=%T\r\nINI_Directory=%T\r\n") + coordinates;
}

// Folder names from the settings file reach the file system and go back to
// the file as the same bytes, whatever their encoding.
void TestProgramSettings::foldersByteForByte()
{
    QFETCH(QByteArray, file);
    QFETCH(QByteArrayList, existing);
    QFETCH(QByteArray, directory);
    QFETCH(QByteArray, infoDirectory);
    QFETCH(QByteArray, written);
    QTemporaryDir dir;
    const QByteArray t = dir.path().toUtf8();
    for (const QByteArray &name : existing)
        QVERIFY(::mkdir((t + '/' + name).constData(), 0755) == 0);
    const QString settingsPath = dir.filePath(QStringLiteral("discora.INI"));
    writeBytes(settingsPath, file.replace("%T", t));
    TProgramSettings settings;
    QStringList errors;
    settings.read(settingsPath, dir.path(), errors);
    QVERIFY(errors.isEmpty());
    QCOMPARE(settings.Directory, directory.replace("%T", t));
    QCOMPARE(settings.INI_Directory, infoDirectory.replace("%T", t));
    settings.write(settingsPath);
    QCOMPARE(readBytes(settingsPath), written.replace("%T", t));
    for (const QByteArray &name : existing)
        TestSupport::removeTree(t + '/' + name);
}

QTEST_GUILESS_MAIN(TestProgramSettings)
#include "tst_ProgramSettings.moc"
