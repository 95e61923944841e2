// The Documents portal's paths and answers, as bytes: which paths are
// documents the portal lends to a sandbox (their ID and the path below it),
// and the folder its answer to Info puts a document in.

#include "FIL_Func.h"
#include "PortalPath.h"

#include <QTest>

class TestPortalPath : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void documentPaths_data();
    void documentPaths();
    void documentFolders_data();
    void documentFolders();
};

void TestPortalPath::documentPaths_data()
{
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<QByteArray>("id"); // empty: no document's path
    QTest::addColumn<QByteArray>("rest");

    QTest::newRow("user-runtime-folder") << QByteArray("/run/user/1000/doc/d2f1/Zandor-Daylight.mp3")
                                         << QByteArray("d2f1") << QByteArray("Zandor-Daylight.mp3");
    QTest::newRow("flatpak-folder") << QByteArray("/run/flatpak/doc/77aa/Zandor-Daylight.mp3")
                                    << QByteArray("77aa") << QByteArray("Zandor-Daylight.mp3");
    QTest::newRow("lent-folder") << QByteArray("/run/user/1000/doc/d2f1/Music/Zandor/Zandor-Daylight.mp3")
                                 << QByteArray("d2f1") << QByteArray("Music/Zandor/Zandor-Daylight.mp3");
    QTest::newRow("raw-bytes-in-name") << QByteArray("/run/user/1000/doc/d2f1/Caf\xe9.mp3")
                                       << QByteArray("d2f1") << QByteArray("Caf\xe9.mp3");
    QTest::newRow("document-itself") << QByteArray("/run/user/1000/doc/d2f1/") << QByteArray()
                                     << QByteArray();
    QTest::newRow("no-name") << QByteArray("/run/user/1000/doc/d2f1") << QByteArray() << QByteArray();
    QTest::newRow("empty-id") << QByteArray("/run/user/1000/doc//a.mp3") << QByteArray() << QByteArray();
    QTest::newRow("user-not-a-number")
        << QByteArray("/run/user/abc/doc/d2f1/a.mp3") << QByteArray() << QByteArray();
    QTest::newRow("doc-deeper-down") << QByteArray("/run/user/1000/gvfs/doc/d2f1/a.mp3") << QByteArray()
                                     << QByteArray();
    // What a sandbox sees of a folder bound in: no portal's path.
    QTest::newRow("sandbox-run-doc") << QByteArray("/run/doc/abc/Zandor-Daylight.mp3") << QByteArray()
                                     << QByteArray();
    QTest::newRow("music-folder") << QByteArray("/home/u/Music/Zandor-Daylight.mp3") << QByteArray()
                                  << QByteArray();
}

void TestPortalPath::documentPaths()
{
    QFETCH(QByteArray, path);
    QFETCH(QByteArray, id);
    QFETCH(QByteArray, rest);

    QByteArray foundId, foundRest;
    QCOMPARE(PortalDocument(path, foundId, foundRest), !id.isEmpty());
    if (!id.isEmpty()) {
        QCOMPARE(foundId, id);
        QCOMPARE(foundRest, rest);
    }
    QCOMPARE(PortalDocumentId(path), id);
}

void TestPortalPath::documentFolders_data()
{
    QTest::addColumn<QByteArray>("answer"); // the path Info answers with
    QTest::addColumn<bool>("known");
    QTest::addColumn<QByteArray>("folder");

    QTest::newRow("file") << QByteArray("/home/u/Music/Zandor-Daylight.mp3") + '\0' << true
                          << QByteArray("/home/u/Music");
    QTest::newRow("raw-bytes") << QByteArray("/home/u/Caf\xe9/a.mp3") + '\0' << true
                               << QByteArray("/home/u/Caf\xe9");
    QTest::newRow("folder-lent") << QByteArray("/home/u/Music/") + '\0' << true
                                 << QByteArray("/home/u/Music");
    // A song at the root: the folder is "", so folder + "/" + name is right.
    QTest::newRow("at-the-root") << QByteArray("/a.mp3") + '\0' << true << QByteArray("");
    QTest::newRow("no-folder") << QByteArray("a.mp3") + '\0' << false << QByteArray();
    QTest::newRow("empty") << QByteArray() << false << QByteArray();
    QTest::newRow("nul-inside") << QByteArray("/home/u/a") + '\0' + "b/c.mp3" + '\0' << false << QByteArray();
    QTest::newRow("two-nuls") << QByteArray("/home/u/Music/a.mp3") + '\0' + '\0' << false << QByteArray();
}

void TestPortalPath::documentFolders()
{
    QFETCH(QByteArray, answer);
    QFETCH(bool, known);
    QFETCH(QByteArray, folder);

    const QByteArray found = PortalDocumentFolder(answer);
    QCOMPARE(!found.isNull(), known);
    QCOMPARE(found, folder);
}

QTEST_APPLESS_MAIN(TestPortalPath)
#include "tst_PortalPath.moc"
