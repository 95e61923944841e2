// MPD's protocol on bytes: the addresses MPD_HOST and MPD_PORT name, the
// cutting of answers into lines, where an answer ends, what the answers to
// "status", "currentsong" and "config" tell and which file that makes MPD
// hold. The answers are as MPD 0.23 writes them.

#include "MpdProtocol.h"

#include <QTest>

using namespace MpdProtocol;

namespace
{

// An address in a line: "[password@]socket PATH", "abstract NAME" or
// "tcp HOST:PORT".
QString describe(const Address &address)
{
    QString text = address.password.isEmpty() ? QString() : QString::fromUtf8(address.password) + "@";
    if (address.abstract)
        return text + "abstract " + address.path;
    if (!address.path.isEmpty())
        return text + "socket " + address.path;
    return text + "tcp " + address.host + ":" + QString::number(address.port);
}

const QByteArray StatusPlaying = "volume: -1\nrepeat: 0\nrandom: 0\nsingle: 0\nconsume: 0\n"
                                 "partition: default\nplaylist: 3\nplaylistlength: 1\nmixrampdb: 0\n"
                                 "state: play\nsong: 0\nsongid: 1\ntime: 3:60\nelapsed: 2.612\n"
                                 "bitrate: 128\nduration: 60.003\naudio: 44100:24:2\nOK\n";
const QByteArray StatusStopped = "volume: -1\nrepeat: 0\nrandom: 0\nsingle: 0\nconsume: 0\n"
                                 "partition: default\nplaylist: 2\nplaylistlength: 0\nmixrampdb: 0\n"
                                 "state: stop\nOK\n";
const QByteArray CurrentSong = "file: Zandor-Daylight.mp3\nLast-Modified: 2024-05-01T10:00:00Z\n"
                               "Format: 44100:24:2\nArtist: Zandor\nTitle: Daylight\nTime: 60\n"
                               "duration: 60.003\nPos: 0\nId: 1\nOK\n";

} // namespace

class TestMpdProtocol : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void addresses_data();
    void addresses();
    void quoting_data();
    void quoting();
    void lines_data();
    void lines();
    void lineKinds_data();
    void lineKinds();
    void answers_data();
    void answers();
    void held_data();
    void held();
};

void TestMpdProtocol::addresses_data()
{
    QTest::addColumn<QString>("host"); // MPD_HOST
    QTest::addColumn<QString>("port"); // MPD_PORT
    QTest::addColumn<QString>("runtime"); // XDG_RUNTIME_DIR
    QTest::addColumn<QStringList>("expected"); // in the order they are tried

    const QString user = "/run/user/1000";
    QTest::newRow("nothing-set") << ""
                                 << "" << user
                                 << QStringList { "socket /run/user/1000/mpd/socket",
                                        "socket /run/mpd/socket", "tcp localhost:6600" };
    QTest::newRow("no-runtime-folder")
        << ""
        << ""
        << "" << QStringList { "socket /run/mpd/socket", "tcp localhost:6600" };
    QTest::newRow("relative-runtime-folder")
        << ""
        << ""
        << "run/user/1000" << QStringList { "socket /run/mpd/socket", "tcp localhost:6600" };
    QTest::newRow("port-alone") << ""
                                << "6601"
                                << "" << QStringList { "socket /run/mpd/socket", "tcp localhost:6601" };
    QTest::newRow("port-highest") << ""
                                  << "65535"
                                  << "" << QStringList { "socket /run/mpd/socket", "tcp localhost:65535" };
    QTest::newRow("port-too-high") << ""
                                   << "65536"
                                   << "" << QStringList { "socket /run/mpd/socket", "tcp localhost:6600" };
    QTest::newRow("port-not-a-number")
        << ""
        << "mpd"
        << "" << QStringList { "socket /run/mpd/socket", "tcp localhost:6600" };
    QTest::newRow("host-and-port") << "127.0.0.1"
                                   << "6700" << user << QStringList { "tcp 127.0.0.1:6700" };
    QTest::newRow("password-and-host") << "secret@music.local"
                                       << "6700" << user << QStringList { "secret@tcp music.local:6700" };
    QTest::newRow("socket-path") << "/home/u/.config/mpd/socket"
                                 << "6700" << user << QStringList { "socket /home/u/.config/mpd/socket" };
    QTest::newRow("password-and-socket") << "secret@/run/mpd/socket"
                                         << "" << user << QStringList { "secret@socket /run/mpd/socket" };
    QTest::newRow("abstract-socket") << "@mpd"
                                     << "" << user << QStringList { "abstract mpd" };
    QTest::newRow("password-and-abstract-socket") << "secret@@mpd"
                                                  << "" << user << QStringList { "secret@abstract mpd" };
    // A password and no address names nothing, and nothing else is tried.
    QTest::newRow("password-alone") << "secret@"
                                    << "" << user << QStringList {};
}

void TestMpdProtocol::addresses()
{
    QFETCH(QString, host);
    QFETCH(QString, port);
    QFETCH(QString, runtime);
    QFETCH(QStringList, expected);

    QStringList found;
    for (const Address &address : MpdProtocol::addresses(host, port, runtime))
        found << describe(address);
    QCOMPARE(found, expected);
}

void TestMpdProtocol::quoting_data()
{
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<QByteArray>("name"); // what its answer belongs to
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<QByteArray>("quoted");

    QTest::newRow("plain-password") << QByteArray("password") << QByteArray("password")
                                    << QByteArray("secret") << QByteArray("\"secret\"");
    QTest::newRow("quote-in-password") << QByteArray("password") << QByteArray("password")
                                       << QByteArray("say \"hi\"") << QByteArray("\"say \\\"hi\\\"\"");
    QTest::newRow("backslash-in-password")
        << QByteArray("password") << QByteArray("password") << QByteArray("a\\b") << QByteArray("\"a\\\\b\"");
    QTest::newRow("idle-player") << QByteArray("idle player") << QByteArray("idle") << QByteArray("player")
                                 << QByteArray("\"player\"");
}

void TestMpdProtocol::quoting()
{
    QFETCH(QByteArray, command);
    QFETCH(QByteArray, name);
    QFETCH(QByteArray, value);
    QFETCH(QByteArray, quoted);

    QCOMPARE(MpdProtocol::quoted(value), quoted);
    QCOMPARE(commandName(command), name);
    QCOMPARE(commandName(command + ' ' + MpdProtocol::quoted(value)), name);
}

void TestMpdProtocol::lines_data()
{
    QTest::addColumn<QByteArray>("buffer"); // what has come so far
    QTest::addColumn<QByteArrayList>("lines"); // the whole lines cut from it
    QTest::addColumn<bool>("tooLong"); // else: the rest waits for more
    QTest::addColumn<QByteArray>("rest");

    const QByteArray longest(MaxLine, 'a');
    QTest::newRow("answer-in-one-piece")
        << QByteArray("state: play\nsong: 0\nOK\n") << QByteArrayList { "state: play", "song: 0", "OK" }
        << false << QByteArray();
    QTest::newRow("answer-cut-mid-line")
        << QByteArray("state: play\nsong") << QByteArrayList { "state: play" } << false << QByteArray("song");
    // MPD ends lines with "\n" alone; a "\r" stays part of the line.
    QTest::newRow("carriage-return-kept")
        << QByteArray("OK\r\n") << QByteArrayList { "OK\r" } << false << QByteArray();
    QTest::newRow("raw-bytes-in-a-name")
        << QByteArray("file: Caf\xe9.mp3\nOK\n") << QByteArrayList { "file: Caf\xe9.mp3", "OK" } << false
        << QByteArray();
    QTest::newRow("longest-line") << longest + "\nOK\n"
                                  << QByteArrayList { longest, "OK" } << false << QByteArray();
    QTest::newRow("one-byte-too-long") << "OK\n" + longest + "a\n"
                                       << QByteArrayList { "OK" } << true << QByteArray();
    QTest::newRow("endless-line") << "file: " + QByteArray(200 * 1024, 'a') + "/Zandor-Daylight.mp3\nOK\n"
                                  << QByteArrayList {} << true << QByteArray();
    // A line that never ends must not grow without bound either.
    QTest::newRow("unfinished-line") << "state: play\nfile: " + QByteArray(200 * 1024, 'a')
                                     << QByteArrayList { "state: play" } << true << QByteArray();
    QTest::newRow("unfinished-at-the-limit")
        << "OK\n" + longest << QByteArrayList { "OK" } << false << longest;
    QTest::newRow("unfinished-past-the-limit")
        << "OK\n" + longest + "a" << QByteArrayList { "OK" } << true << QByteArray();
}

void TestMpdProtocol::lines()
{
    QFETCH(QByteArray, buffer);
    QFETCH(QByteArrayList, lines);
    QFETCH(bool, tooLong);
    QFETCH(QByteArray, rest);

    QByteArrayList cut;
    qsizetype from = 0;
    QByteArray line;
    LineCut end;
    while ((end = nextLine(buffer, from, line)) == LineCut::Line)
        cut << line;
    QCOMPARE(cut, lines);
    QCOMPARE(end == LineCut::TooLong, tooLong);
    if (!tooLong)
        QCOMPARE(buffer.mid(from), rest);
}

void TestMpdProtocol::lineKinds_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("greeting");
    QTest::addColumn<QString>("kind"); // ok, ack or data

    QTest::newRow("greeting") << QByteArray("OK MPD 0.23.5") << true << "data";
    QTest::newRow("greeting-without-version") << QByteArray("OK MPD") << false << "data";
    QTest::newRow("http-server") << QByteArray("HTTP/1.0 400 Bad Request") << false << "data";
    QTest::newRow("ok") << QByteArray("OK") << false << "ok";
    QTest::newRow("ok-and-blank") << QByteArray("OK ") << false << "data";
    QTest::newRow("no-such-song") << QByteArray("ACK [50@0] {play} No such song") << false << "ack";
    QTest::newRow("config-over-tcp") << QByteArray(
        "ACK [4@0] {config} Command only permitted to local clients")
                                     << false << "ack";
    QTest::newRow("ack-without-blank") << QByteArray("ACKNOWLEDGED") << false << "data";
}

void TestMpdProtocol::lineKinds()
{
    QFETCH(QByteArray, line);
    QFETCH(bool, greeting);
    QFETCH(QString, kind);

    QCOMPARE(isGreeting(line), greeting);
    const LineKind found = lineKind(line);
    QCOMPARE(found == LineKind::Ok ? "ok" : found == LineKind::Ack ? "ack" : "data", kind);
}

void TestMpdProtocol::answers_data()
{
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<QByteArray>("answer"); // as MPD sends it, up to its OK or ACK
    QTest::addColumn<QByteArray>("state");
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QByteArray>("musicFolder");

    QTest::newRow("status-playing") << QByteArray("status") << StatusPlaying << QByteArray("play")
                                    << QByteArray() << QByteArray();
    QTest::newRow("status-stopped") << QByteArray("status") << StatusStopped << QByteArray("stop")
                                    << QByteArray() << QByteArray();
    QTest::newRow("status-refused") << QByteArray("status")
                                    << QByteArray("ACK [4@0] {status} you don't have permission\n")
                                    << QByteArray() << QByteArray() << QByteArray();
    QTest::newRow("currentsong") << QByteArray("currentsong") << CurrentSong << QByteArray()
                                 << QByteArray("Zandor-Daylight.mp3") << QByteArray();
    QTest::newRow("currentsong-below-folders")
        << QByteArray("currentsong") << QByteArray("file: Zandor/Live 2019/Zandor-Daylight.mp3\nPos: 0\nOK\n")
        << QByteArray() << QByteArray("Zandor/Live 2019/Zandor-Daylight.mp3") << QByteArray();
    QTest::newRow("currentsong-colon-in-name")
        << QByteArray("currentsong") << QByteArray("file: Live: Zandor - Daylight.mp3\nOK\n") << QByteArray()
        << QByteArray("Live: Zandor - Daylight.mp3") << QByteArray();
    QTest::newRow("currentsong-stream")
        << QByteArray("currentsong")
        << QByteArray("file: http://radio.invalid/stream\nName: Radio\nTitle: Zandor - Daylight\nPos: 0\nId: "
                      "2\nOK\n")
        << QByteArray() << QByteArray("http://radio.invalid/stream") << QByteArray();
    QTest::newRow("currentsong-empty-queue")
        << QByteArray("currentsong") << QByteArray("OK\n") << QByteArray() << QByteArray() << QByteArray();
    // Keys are MPD's exact words: another case, no blank or a longer key
    // is another line.
    QTest::newRow("currentsong-lookalike-keys")
        << QByteArray("currentsong") << QByteArray("File: a.mp3\nfile:b.mp3\nfilename: c.mp3\nOK\n")
        << QByteArray() << QByteArray() << QByteArray();
    // The command decides which key counts.
    QTest::newRow("state-in-currentsong")
        << QByteArray("currentsong") << QByteArray("state: stop\nfile: a.mp3\nOK\n") << QByteArray()
        << QByteArray("a.mp3") << QByteArray();
    QTest::newRow("file-in-status") << QByteArray("status") << QByteArray("file: a.mp3\nstate: play\nOK\n")
                                    << QByteArray("play") << QByteArray() << QByteArray();
    QTest::newRow("config-local")
        << QByteArray("config")
        << QByteArray("music_directory: /var/lib/mpd/music\nplaylist_directory: /var/lib/mpd/playlists\n"
                      "pcre: 1\nOK\n")
        << QByteArray() << QByteArray() << QByteArray("/var/lib/mpd/music");
    QTest::newRow("config-over-tcp") << QByteArray(
        "config") << QByteArray("ACK [4@0] {config} Command only permitted to local clients\n")
                                     << QByteArray() << QByteArray() << QByteArray();
}

void TestMpdProtocol::answers()
{
    QFETCH(QByteArray, command);
    QFETCH(QByteArray, answer);
    QFETCH(QByteArray, state);
    QFETCH(QByteArray, file);
    QFETCH(QByteArray, musicFolder);

    Answers answers;
    bool ended = false;
    for (const QByteArray &line : answer.chopped(1).split('\n')) {
        QVERIFY2(!ended, "lines after the answer's end");
        if (lineKind(line) == LineKind::Data)
            takeAnswerLine(command, line, answers);
        else
            ended = true;
    }
    QVERIFY(ended);
    QCOMPARE(answers.state, state);
    QCOMPARE(answers.file, file);
    QCOMPARE(answers.musicFolder, musicFolder);
}

void TestMpdProtocol::held_data()
{
    QTest::addColumn<QByteArray>("state");
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QByteArray>("musicFolder"); // as "config" told, if it did
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<bool>("tail"); // path is below the music folder only

    const QByteArray song = "Zandor-Daylight.mp3";
    QTest::newRow("playing-over-tcp") << QByteArray("play") << song << QByteArray() << song << true;
    QTest::newRow("stopped") << QByteArray("stop") << song << QByteArray("/m") << QByteArray() << false;
    QTest::newRow("status-refused") << QByteArray() << song << QByteArray("/m") << QByteArray() << false;
    QTest::newRow("playing-on-socket") << QByteArray("play") << song << QByteArray("/var/lib/mpd/music")
                                       << QByteArray("/var/lib/mpd/music/Zandor-Daylight.mp3") << false;
    QTest::newRow("folder-ends-in-slash") << QByteArray("play") << song << QByteArray("/var/lib/mpd/music/")
                                          << QByteArray("/var/lib/mpd/music/Zandor-Daylight.mp3") << false;
    QTest::newRow("folder-not-absolute")
        << QByteArray("play") << song << QByteArray("~/Music") << song << true;
    QTest::newRow("file-by-own-path") << QByteArray("play") << QByteArray("/home/u/Zandor-Daylight.mp3")
                                      << QByteArray() << QByteArray("/home/u/Zandor-Daylight.mp3") << false;
    QTest::newRow("a-stream") << QByteArray("play") << QByteArray("http://radio.invalid/Zandor-Daylight.mp3")
                              << QByteArray() << QByteArray() << false;
    QTest::newRow("no-file") << QByteArray("play") << QByteArray() << QByteArray("/m") << QByteArray()
                             << false;
    QTest::newRow("unknown-state") << QByteArray("Play") << song << QByteArray() << QByteArray() << false;
}

void TestMpdProtocol::held()
{
    QFETCH(QByteArray, state);
    QFETCH(QByteArray, file);
    QFETCH(QByteArray, musicFolder);
    QFETCH(QByteArray, path);
    QFETCH(bool, tail);

    const Held found = heldFile(state, file, musicFolder);
    QCOMPARE(found.path, path);
    QCOMPARE(found.tail, tail);
}

QTEST_APPLESS_MAIN(TestMpdProtocol)
#include "tst_MpdProtocol.moc"
