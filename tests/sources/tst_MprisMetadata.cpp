// What MPRIS2 players say of themselves, as values: the file a
// xesam:url names, and which file a player's PlaybackStatus and Metadata
// make it hold. The maps are shaped as players send them over the bus.

#include "MprisMetadata.h"

#include <QTest>

using namespace MprisMetadata;

namespace
{

// A player's Metadata as players send it: a track ID and more beside the URL.
QVariantMap metadata(const QVariant &url)
{
    QVariantMap map { { "mpris:trackid", QVariant::fromValue(QString("/org/mpris/MediaPlayer2/Track/1")) },
        { "mpris:length", qlonglong(60003000) }, { "xesam:title", QString("Daylight") },
        { "xesam:artist", QStringList { "Zandor" } } };
    if (url.isValid())
        map.insert("xesam:url", url);
    return map;
}

} // namespace

class TestMprisMetadata : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void localFiles_data();
    void localFiles();
    void properties_data();
    void properties();
};

void TestMprisMetadata::localFiles_data()
{
    QTest::addColumn<QVariant>("url");
    QTest::addColumn<QByteArray>("path"); // empty: no local file

    QTest::newRow("plain") << QVariant(QString("file:///home/u/Music/Zandor-Daylight.mp3"))
                           << QByteArray("/home/u/Music/Zandor-Daylight.mp3");
    QTest::newRow("escaped-blank") << QVariant(QString("file:///home/u/My%20Music/Zandor%20-%20Daylight.mp3"))
                                   << QByteArray("/home/u/My Music/Zandor - Daylight.mp3");
    QTest::newRow("escaped-utf8") << QVariant(QString("file:///home/u/Music/Caf%C3%A9.mp3"))
                                  << QByteArray("/home/u/Music/Caf\xc3\xa9.mp3");
    QTest::newRow("escaped-hash") << QVariant(QString("file:///home/u/Music/Track%20%231.mp3"))
                                  << QByteArray("/home/u/Music/Track #1.mp3");
    QTest::newRow("escaped-percent") << QVariant(QString("file:///home/u/Music/100%25.mp3"))
                                     << QByteArray("/home/u/Music/100%.mp3");
    QTest::newRow("portal-path") << QVariant(QString("file:///run/user/1000/doc/d2f1/Zandor-Daylight.mp3"))
                                 << QByteArray("/run/user/1000/doc/d2f1/Zandor-Daylight.mp3");
    QTest::newRow("not-a-file-url") << QVariant(QString("http://example.invalid/Zandor-Daylight.mp3"))
                                    << QByteArray();
    QTest::newRow("upper-case-scheme")
        << QVariant(QString("FILE:///home/u/Music/Zandor-Daylight.mp3")) << QByteArray();
    QTest::newRow("file-without-slashes")
        << QVariant(QString("file:/home/u/Music/Zandor-Daylight.mp3")) << QByteArray();
    QTest::newRow("url-of-another-type") << QVariant(42) << QByteArray();
    QTest::newRow("url-as-bytes") << QVariant(QByteArray("file:///home/u/Music/Zandor-Daylight.mp3"))
                                  << QByteArray();
    const QString name = "/Zandor-Daylight.mp3";
    QTest::newRow("huge-url") << QVariant("file://" + QString(100000, QLatin1Char('/')) + name)
                              << QByteArray();
    // "file://" and the path make MaxUrl characters at most.
    const QString longest = "/" + QString(MaxUrl - 8 - name.size(), 'a') + name;
    QTest::newRow("longest-url") << QVariant("file://" + longest) << longest.toUtf8();
    QTest::newRow("one-too-long") << QVariant("file:///a" + longest.mid(1)) << QByteArray();
}

void TestMprisMetadata::localFiles()
{
    QFETCH(QVariant, url);
    QFETCH(QByteArray, path);

    QCOMPARE(localFile(url), path);
}

void TestMprisMetadata::properties_data()
{
    QTest::addColumn<QString>("status"); // the player's so far
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<QVariantMap>("values"); // the properties it sends
    QTest::addColumn<QString>("newStatus");
    QTest::addColumn<QByteArray>("newPath");
    QTest::addColumn<bool>("holds");

    const QString url = "file:///m/Zandor-Daylight.mp3";
    const QByteArray song = "/m/Zandor-Daylight.mp3";
    const QVariantMap playing { { "PlaybackStatus", QString("Playing") }, { "Metadata", metadata(url) },
        { "Volume", 1.0 }, { "CanPlay", true } };
    const auto with = [](QVariantMap values, const QString &key, const QVariant &value) {
        values.insert(key, value);
        return values;
    };

    QTest::newRow("playing") << "" << QByteArray() << playing << "Playing" << song << true;
    QTest::newRow("paused") << "" << QByteArray() << with(playing, "PlaybackStatus", QString("Paused"))
                            << "Paused" << song << true;
    QTest::newRow("stopped") << "" << QByteArray() << with(playing, "PlaybackStatus", QString("Stopped"))
                             << "Stopped" << song << false;
    QTest::newRow("status-of-another-type")
        << "Playing" << song << with(playing, "PlaybackStatus", 1) << "" << song << false;
    QTest::newRow("not-a-file-url") << "" << QByteArray()
                                    << with(playing, "Metadata",
                                           metadata(QString("http://example.invalid/Zandor-Daylight.mp3")))
                                    << "Playing" << QByteArray() << false;
    QTest::newRow("url-of-another-type") << "" << QByteArray() << with(playing, "Metadata", metadata(42))
                                         << "Playing" << QByteArray() << false;
    QTest::newRow("metadata-of-another-type")
        << "" << QByteArray() << with(playing, "Metadata", url) << "Playing" << QByteArray() << false;
    QTest::newRow("huge-url") << "" << QByteArray()
                              << with(playing, "Metadata",
                                     metadata("file://" + QString(100000, QLatin1Char('/')) + song))
                              << "Playing" << QByteArray() << false;
    // A track without a URL (a stream, a track just being loaded).
    QTest::newRow("metadata-without-url")
        << "Playing" << song << QVariantMap { { "Metadata", metadata(QVariant()) } } << "Playing"
        << QByteArray() << false;
    // Players send what changed only: the rest stays as it was.
    QTest::newRow("status-change-keeps-the-file")
        << "Playing" << song << QVariantMap { { "PlaybackStatus", QString("Paused") } } << "Paused" << song
        << true;
    QTest::newRow("track-change-keeps-the-status")
        << "Playing" << song
        << QVariantMap { { "Metadata", metadata(QString("file:///m/Merel-Lantern.mp3")) } } << "Playing"
        << QByteArray("/m/Merel-Lantern.mp3") << true;
    QTest::newRow("other-properties-only")
        << "Paused" << song << QVariantMap { { "Volume", 0.5 }, { "Position", qlonglong(1000) } } << "Paused"
        << song << true;
}

void TestMprisMetadata::properties()
{
    QFETCH(QString, status);
    QFETCH(QByteArray, path);
    QFETCH(QVariantMap, values);
    QFETCH(QString, newStatus);
    QFETCH(QByteArray, newPath);
    QFETCH(bool, holds);

    Player player { status, path };
    takeProperties(values, player);
    QCOMPARE(player.status, newStatus);
    QCOMPARE(player.path, newPath);
    QCOMPARE(holdsFile(player), holds);
}

QTEST_APPLESS_MAIN(TestMprisMetadata)
#include "tst_MprisMetadata.moc"
