// The song details dialog as the user meets it: the file it leaves on disk
// after Save or Cancel (byte for byte), what it shows on opening, where it
// opens, Clone, and a save that cannot be written.

#include "ModalDriver.h"
#include "QLXApplication.h"
#include "QLXError.h"
#include "TestSupport.h"
#include "UDSCSett.h"
#include "UQLXEdit.h"
#include "UQLXStd.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>
#include <sys/stat.h>
#include <unistd.h>

using TestSupport::readBytes;
using TestSupport::writeBytes;

#define SEP "; ******************************************"
#define HEAD(date) SEP "\r\n; Generated " date "\r\n; Do not modify manually.\r\n" SEP "\r\n\r\n[Info]\r\n"

namespace
{

QDate g_today(2026, 12, 8);
QDate today()
{
    return g_today;
}

struct Edits {
    QString writer, playtime, albumName, songYear, albumYear, cdNum, label, lyrics;
};

Edits LyricsOnly(const QString &lyrics)
{
    Edits edits;
    edits.lyrics = lyrics;
    return edits;
}

void type(TfrmSettings *d, const Edits &e)
{
    d->ediWriter->setText(e.writer);
    d->ediPlaytime->setText(e.playtime);
    d->ediAlbumName->setText(e.albumName);
    d->ediSongYear->setText(e.songYear);
    d->ediAlbumYear->setText(e.albumYear);
    d->ediAlbumCDNum->setText(e.cdNum);
    d->ediAlbumLabel->setText(e.label);
    d->memLyrics->setPlainText(e.lyrics);
}

const QByteArray Typical = HEAD("01-02-2025") "UsageCount = 7\r\n"
                                              "Writer     = Anne Soldaat\r\n"
                                              "Playtime   = 03:45\r\n"
                                              "AlbumName  = Zee & Zand\r\n"
                                              "SongYear   = 1999\r\n"
                                              "AlbumYear  = 2000\r\n"
                                              "AlbumCDNum = 8712345678901\r\n"
                                              "AlbumLabel = Zand Records\r\n"
                                              "Lyrics     = Yes\r\n"
                                              "\r\n" SEP "\r\n\r\n"
                                              "Eerste regel\r\n"
                                              "  Tweede regel\r\n";

} // namespace

Q_DECLARE_METATYPE(Edits)

class tst_UDSCSett : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void save_data();
    void save();
    void savedTwiceOnDifferentDays();
    void opensWith_data();
    void opensWith();
    void cancelWritesNothing_data();
    void cancelWritesNothing();
    void unwritableSaveKeepsDialogOpen();
    void unreadableFileOpensNoDialog();
    void folderCannotBeCreated();
    void position_data();
    void position();
    void layout_data();
    void layout();
    void clonePattern_data();
    void clonePattern();
    void cloneTakesOtherSongsValues_data();
    void cloneTakesOtherSongsValues();
    void enterAndTabStayInDialog();
    void enterOnFocusedButton_data();
    void enterOnFocusedButton();
    void fileValuesOffered_data();
    void fileValuesOffered();
    void fieldNavigation_data();
    void fieldNavigation();

private:
    QByteArray mp3(const char *name = "Zand-Daylight.mp3") const { return m_music + '/' + name; }
    QByteArray info(const char *name = "Zand-Daylight.INI") const { return m_info + '/' + name; }
    // ShowDetails for the song with step driving it; false when it threw.
    bool show(std::function<void(TfrmSettings *)> step, bool *saved = nullptr, QString *error = nullptr);

    std::unique_ptr<QTemporaryDir> m_dir;
    QByteArray m_music, m_info;
};

void tst_UDSCSett::fileValuesOffered_data()
{
    // A real song file copied into the music folder, its information file
    // (null: none), a songwriter typed before the values are taken, a .lrc
    // file beside the song (null: none); the fields then, each "name=value"
    // for those not empty, and the lyrics.
    QTest::addColumn<QString>("fixture");
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QByteArray>("lrc");
    QTest::addColumn<QStringList>("fields");
    QTest::addColumn<QString>("lyrics");

    // ID3v2.3: composer, original year for the album, TXXX barcode, USLT.
    QTest::newRow("mp3-tags") << "mp3-v23-utf16.mp3" << QByteArray() << "" << QByteArray()
                              << QStringList { "Writer=Björk Guðmundsdóttir", "Playtime=00:01",
                                     "AlbumName=Homogenic", "SongYear=1997", "AlbumYear=1996",
                                     "AlbumCDNum=5016958029829", "AlbumLabel=One Little Indian" }
                              << "Emotional landscapes\nThey puzzle me";
    // What the file says goes into empty fields only: a value of the
    // information file and one typed stay.
    QTest::newRow("flac-typed-and-saved-values-kept")
        << "flac-full.flac" << QByteArray("[Info]\r\nAlbumName=Mine\r\n") << "Me" << QByteArray()
        << QStringList { "Writer=Me", "Playtime=00:01", "AlbumName=Mine", "SongYear=1983", "AlbumYear=1983",
               "AlbumCDNum=4988006543210", "AlbumLabel=Virgin" }
        << "First line\n\nThird line";
    // MP4: no original year, so the album's year is the song's.
    QTest::newRow("m4a-tags") << "aac-full.m4a" << QByteArray() << "" << QByteArray()
                              << QStringList { "Writer=Björk", "Playtime=00:01", "AlbumName=Post",
                                     "SongYear=1995", "AlbumYear=1995", "AlbumCDNum=5016958022820",
                                     "AlbumLabel=One Little Indian" }
                              << "We live on a mountain\nRight at the top";
    // No lyrics in the tags: the .lrc file beside the song, without its
    // header and time stamps.
    QTest::newRow("lrc-beside-the-song") << "mp3-partial.mp3" << QByteArray() << ""
                                         << QByteArray("[ar:Someone]\n[00:01.00]Hello\n[00:05.20]World\n")
                                         << QStringList { "Playtime=00:01" } << "Hello\nWorld";
    QTest::newRow("no-tags") << "mp3-no-tags.mp3" << QByteArray() << "" << QByteArray()
                             << QStringList { "Playtime=00:01" } << "";
}

void tst_UDSCSett::fileValuesOffered()
{
    QFETCH(QString, fixture);
    QFETCH(QByteArray, before);
    QFETCH(QString, typed);
    QFETCH(QByteArray, lrc);
    QFETCH(QStringList, fields);
    QFETCH(QString, lyrics);

    const QString song
        = QFile::decodeName(m_music) + QStringLiteral("/Zand-Daylight.") + QFileInfo(fixture).suffix();
    QFile::remove(song);
    QVERIFY(QFile::copy(QStringLiteral(AUDIO_FIXTURES "/") + fixture, song));
    if (!before.isNull())
        writeBytes(info(), before);
    if (!lrc.isNull())
        writeBytes(QFile::decodeName(m_music) + QStringLiteral("/Zand-Daylight.lrc"), lrc);
    QStringList shown;
    QString taken;
    QString offered;
    ModalDriver driver([&](QWidget *modal) {
        auto *d = qobject_cast<TfrmSettings *>(modal);
        if (!d)
            return;
        offered = d->ediPlaytime->placeholderText();
        d->ediWriter->setText(typed);
        d->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(d));
        QTest::keyClick(d->memLyrics, Qt::Key_T, Qt::ControlModifier);
        const std::pair<const char *, TQLXEdit *> edits[]
            = { { "Writer", d->ediWriter }, { "Playtime", d->ediPlaytime }, { "AlbumName", d->ediAlbumName },
                  { "SongYear", d->ediSongYear }, { "AlbumYear", d->ediAlbumYear },
                  { "AlbumCDNum", d->ediAlbumCDNum }, { "AlbumLabel", d->ediAlbumLabel } };
        for (const auto &[name, edit] : edits)
            if (!edit->text().isEmpty())
                shown << QString::fromLatin1(name) + QLatin1Char('=') + edit->text();
        taken = d->memLyrics->toPlainText();
        d->accept();
    });
    QVERIFY(TfrmSettings::ShowDetails(
        QFile::encodeName(song), m_info, 100, 50, m_dir->filePath(QStringLiteral("discora.INI"))));
    // Offered before it was taken, as a placeholder that is no text.
    QCOMPARE(offered, QStringLiteral("00:01"));
    QCOMPARE(shown, fields);
    QCOMPARE(taken, lyrics);
    // Save writes what was taken, as the design writes any typed value.
    const QByteArray saved = readBytes(QFile::decodeName(info()));
    QVERIFY(saved.contains("Playtime   = 00:01\r\n"));
    if (!lyrics.isEmpty())
        QVERIFY(saved.contains("\r\n" + lyrics.section(QLatin1Char('\n'), 0, 0).toUtf8() + "\r\n"));
}

void tst_UDSCSett::initTestCase()
{
    TfrmSettings::CurrentDate = &today;
}

void tst_UDSCSett::init()
{
    g_today = QDate(2026, 12, 8);
    // No "-" in the folder's name: Clone's pattern is cut at the first one.
    m_dir = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/detailsXXXXXX"));
    m_music = QFile::encodeName(m_dir->filePath(QStringLiteral("music")));
    m_info = QFile::encodeName(m_dir->filePath(QStringLiteral("info")));
    QVERIFY(QDir().mkpath(QFile::decodeName(m_music)));
    QVERIFY(QDir().mkpath(QFile::decodeName(m_info)));
    writeBytes(mp3(), QByteArrayLiteral("ID3"));
}

bool tst_UDSCSett::show(std::function<void(TfrmSettings *)> step, bool *saved, QString *error)
{
    ModalDriver driver([&](QWidget *modal) {
        if (auto *d = qobject_cast<TfrmSettings *>(modal))
            step(d);
    });
    try {
        const bool result = TfrmSettings::ShowDetails(
            mp3(), m_info, 100, 50, m_dir->filePath(QStringLiteral("discora.INI")));
        if (saved)
            *saved = result;
        return true;
    } catch (const EQLXError &e) {
        if (error)
            *error = e.message();
        return false;
    }
}

void tst_UDSCSett::save_data()
{
    QTest::addColumn<QByteArray>("before"); // null: no information file
    QTest::addColumn<Edits>("edits");
    QTest::addColumn<QByteArray>("expected");

    const Edits typical { "Anne Soldaat", "03:45", "Zee & Zand", "1999", "2000", "8712345678901",
        "Zand Records", "Eerste regel\n  Tweede regel" };
    // A new file: the same bytes, with today's date and no count yet.
    QTest::newRow("typical-song-new-file")
        << QByteArray() << typical
        << QByteArray(Typical).replace("01-02-2025", "08-12-2026").replace("UsageCount = 7", "UsageCount = ");
    QTest::newRow("typical-song-count-kept")
        << Typical << typical << QByteArray(Typical).replace("01-02-2025", "08-12-2026");
    const QByteArray emptyFields = HEAD("08-12-2026") "UsageCount = \r\n"
                                                      "Writer     = \r\n"
                                                      "Playtime   = \r\n"
                                                      "AlbumName  = \r\n"
                                                      "SongYear   = \r\n"
                                                      "AlbumYear  = \r\n"
                                                      "AlbumCDNum = \r\n"
                                                      "AlbumLabel = \r\n";
    QTest::newRow("empty-lyrics-no-marker-line")
        << QByteArray() << Edits {} << emptyFields + "\r\n" SEP "\r\n\r\n";
    QTest::newRow("instrumental") << QByteArray() << LyricsOnly("Instrumental")
                                  << emptyFields
            + "Lyrics     = Instrumental\r\n\r\n" SEP "\r\n\r\nInstrumental\r\n";
    QTest::newRow("instrumentaal") << QByteArray() << LyricsOnly("instrumentaal")
                                   << emptyFields
            + "Lyrics     = Instrumental\r\n\r\n" SEP "\r\n\r\ninstrumentaal\r\n";
    QTest::newRow("instrumental-version") << QByteArray() << LyricsOnly("INSTRUMENTAL VERSION\nby the band")
                                          << emptyFields
            + "Lyrics     = Instrumental\r\n\r\n" SEP "\r\n\r\nINSTRUMENTAL VERSION\r\nby the band\r\n";
    QTest::newRow("words-unclear") << QByteArray() << LyricsOnly("(Words unclear)")
                                   << emptyFields
            + "Lyrics     = (words unclear)\r\n\r\n" SEP "\r\n\r\n(Words unclear)\r\n";
    QTest::newRow("trailing-blanks-and-leading-empty-lines")
        << QByteArray() << LyricsOnly("\n\n  la la  \nli\t \n")
        << emptyFields + "Lyrics     = Yes\r\n\r\n" SEP "\r\n\r\n\r\n\r\n  la la\r\nli\r\n";
    QTest::newRow("only-blanks-still-yes")
        << QByteArray() << LyricsOnly("   ") << emptyFields + "Lyrics     = Yes\r\n\r\n" SEP "\r\n\r\n\r\n";
    QTest::newRow("other-keys-and-sections-dropped")
        << QByteArrayLiteral("[Info]\r\nUsageCount=3\r\nRating=5\r\n[Extra]\r\nA=1\r\n") << Edits {}
        << QByteArray(emptyFields).replace("UsageCount = ", "UsageCount = 3") + "\r\n" SEP "\r\n\r\n";
}

void tst_UDSCSett::save()
{
    QFETCH(QByteArray, before);
    QFETCH(Edits, edits);
    QFETCH(QByteArray, expected);
    if (!before.isNull())
        writeBytes(info(), before);
    bool saved = false;
    QVERIFY(show(
        [&](TfrmSettings *d) {
            type(d, edits);
            d->bbtOk->click();
        },
        &saved));
    QVERIFY(saved);
    QCOMPARE(readBytes(info()), expected);
}

void tst_UDSCSett::savedTwiceOnDifferentDays()
{
    writeBytes(info(), Typical);
    g_today = QDate(2026, 12, 8);
    QVERIFY(show([](TfrmSettings *d) { d->bbtOk->click(); }));
    const QByteArray first = readBytes(info());
    g_today = QDate(2027, 1, 3);
    QVERIFY(show([](TfrmSettings *d) { d->bbtOk->click(); }));
    QCOMPARE(first, QByteArray(Typical).replace("01-02-2025", "08-12-2026"));
    QCOMPARE(readBytes(info()), QByteArray(Typical).replace("01-02-2025", "03-01-2027"));
}

void tst_UDSCSett::opensWith_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QStringList>("fields"); // the seven fields, then the count
    QTest::addColumn<QString>("lyrics");

    QTest::newRow("typical") << Typical
                             << QStringList { "Anne Soldaat", "03:45", "Zee & Zand", "1999", "2000",
                                    "8712345678901", "Zand Records", "7" }
                             << "Eerste regel\n  Tweede regel";
    QTest::newRow("no-file") << QByteArray() << QStringList(8, QString()) << QString();
    QTest::newRow("leading-empty-lyric-lines-lost")
        << QByteArrayLiteral("[Info]\r\nLyrics = Yes\r\n\r\n" SEP "\r\n\r\n\r\n\r\nla\r\n")
        << QStringList(8, QString()) << "la";
    QTest::newRow("blanks-around-values-dropped")
        << QByteArrayLiteral("[Info]\r\nWriter =  Anne  \r\nUsageCount=  12 \r\n")
        << QStringList { "Anne", "", "", "", "", "", "", "12" } << QString();
    QTest::newRow("counted-without-info-section")
        << QByteArrayLiteral("Lyrics = Yes\r\n\r\nla\r\n[Info]\r\nUsageCount=1\r\nPlaytime=??:??\r\n")
        << QStringList { "", "??:??", "", "", "", "", "", "1" } << "la";
    QTest::newRow("utf8-and-cp1252-lyric-lines")
        << QByteArrayLiteral("[Info]\r\nLyrics = Yes\r\n\r\nD\xC3\xA9j\xC3\xA0 vu\r\ncaf\xE9\r\n")
        << QStringList(8, QString()) << QStringLiteral("Déjà vu\ncafé");
}

void tst_UDSCSett::opensWith()
{
    QFETCH(QByteArray, file);
    QFETCH(QStringList, fields);
    QFETCH(QString, lyrics);
    if (!file.isNull())
        writeBytes(info(), file);
    QStringList shown;
    QString shownLyrics;
    QVERIFY(show([&](TfrmSettings *d) {
        shown = QStringList { d->ediWriter->text(), d->ediPlaytime->text(), d->ediAlbumName->text(),
            d->ediSongYear->text(), d->ediAlbumYear->text(), d->ediAlbumCDNum->text(),
            d->ediAlbumLabel->text(), d->bxlCount->Caption() };
        shownLyrics = d->memLyrics->toPlainText();
        d->bbtCancel->click();
    }));
    QCOMPARE(shown, fields);
    QCOMPARE(shownLyrics, lyrics);
}

void tst_UDSCSett::cancelWritesNothing_data()
{
    QTest::addColumn<QByteArray>("before"); // null: no information file
    QTest::addColumn<QString>("infoFolder"); // under the temporary folder
    QTest::addColumn<bool>("escape");
    QTest::addColumn<QByteArray>("after");

    QTest::newRow("new-song-leaves-empty-file") << QByteArray() << "info" << false << QByteArray("");
    QTest::newRow("missing-folders-created") << QByteArray() << "info/a/b" << false << QByteArray("");
    QTest::newRow("edits-discarded") << Typical << "info" << false << Typical;
    QTest::newRow("escape-key") << Typical << "info" << true << Typical;
}

void tst_UDSCSett::cancelWritesNothing()
{
    QFETCH(QByteArray, before);
    QFETCH(QString, infoFolder);
    QFETCH(bool, escape);
    QFETCH(QByteArray, after);
    m_info = QFile::encodeName(m_dir->filePath(infoFolder));
    if (!before.isNull())
        writeBytes(info(), before);
    bool saved = true;
    QVERIFY(show(
        [&](TfrmSettings *d) {
            type(d, Edits { "x", "y", "z", "1", "2", "3", "4", "lyrics" });
            if (escape)
                QTest::keyClick(d->memLyrics, Qt::Key_Escape);
            else
                d->bbtCancel->click();
        },
        &saved));
    QVERIFY(!saved);
    QVERIFY(TestSupport::exists(info()));
    QCOMPARE(readBytes(info()), after);
}

void tst_UDSCSett::unwritableSaveKeepsDialogOpen()
{
    writeBytes(info(), Typical);
    QCOMPARE(::chmod(info().constData(), 0444), 0);
    QStringList boxes;
    bool stillOpen = false;
    QString keptLyrics;
    bool saved = false;
    QPointer<TfrmSettings> dialog;
    bool openAfterFailure = false;
    ModalDriver boxDriver([&](QWidget *modal) {
        if (auto *box = qobject_cast<QMessageBox *>(modal)) {
            boxes << box->text();
            stillOpen = dialog && dialog->isVisible();
            box->button(QMessageBox::Ok)->click();
        }
    });
    QVERIFY(show(
        [&](TfrmSettings *d) {
            dialog = d;
            d->memLyrics->setPlainText(QStringLiteral("Nieuwe tekst"));
            d->bbtOk->click();
            // The box has been answered; the dialog is still open with the edits.
            openAfterFailure = d->isVisible() && d->result() == 0;
            keptLyrics = d->memLyrics->toPlainText();
            QCOMPARE(readBytes(info()), Typical);
            ::chmod(info().constData(), 0644);
            d->bbtOk->click();
        },
        &saved));
    QCOMPARE(boxes, QStringList { "Unable to write to " + QFile::decodeName(info()) + "." });
    QVERIFY(stillOpen);
    QVERIFY(openAfterFailure);
    QCOMPARE(keptLyrics, QStringLiteral("Nieuwe tekst"));
    QVERIFY(saved);
    QVERIFY(readBytes(info()).endsWith("\r\nNieuwe tekst\r\n"));
}

// Details the user cannot read never open as an empty form that Save would
// write over them. Root reads every file, so the check runs as nobody.
void tst_UDSCSett::unreadableFileOpensNoDialog()
{
    writeBytes(info(), Typical);
    QCOMPARE(::chmod(info().constData(), 0), 0);
    QCOMPARE(::chmod(QFile::encodeName(m_dir->path()).constData(), 0755), 0);
    const bool asRoot = ::geteuid() == 0;
    if (asRoot)
        QCOMPARE(::seteuid(65534), 0);
    bool shown = false;
    QString error;
    const bool opened = show(
        [&](TfrmSettings *d) {
            shown = true;
            d->bbtOk->click();
        },
        nullptr, &error);
    if (asRoot)
        QCOMPARE(::seteuid(0), 0);
    QVERIFY(!opened);
    QVERIFY(!shown);
    QCOMPARE(error, "Unable to read " + QFile::decodeName(info()));
    QCOMPARE(::chmod(info().constData(), 0644), 0);
    QCOMPARE(readBytes(info()), Typical);
}

void tst_UDSCSett::folderCannotBeCreated()
{
    writeBytes(m_dir->filePath(QStringLiteral("file")), QByteArrayLiteral("x"));
    m_info = QFile::encodeName(m_dir->filePath(QStringLiteral("file/info")));
    bool shown = false;
    QString error;
    QVERIFY(!show(
        [&](TfrmSettings *d) {
            shown = true;
            d->reject();
        },
        nullptr, &error));
    QCOMPARE(error, QStringLiteral("Unable to create directory"));
    QVERIFY(!shown);
}

void tst_UDSCSett::position_data()
{
    QTest::addColumn<QPoint>("wanted");
    QTest::addColumn<QPoint>("placed");
    // The screen is 800 x 600; the dialog 745 x 345 inside a 2-pixel frame,
    // 749 x 349 in all: its left edge at most 800 - 765 = 35, its top at
    // most 600 - 429 = 171.
    QTest::newRow("fits") << QPoint(35, 171) << QPoint(35, 171);
    QTest::newRow("right-edge-pulled-left") << QPoint(36, 100) << QPoint(35, 100);
    QTest::newRow("bottom-pulled-up") << QPoint(10, 172) << QPoint(10, 171);
    QTest::newRow("main-window-at-right-bottom") << QPoint(516, 486) << QPoint(35, 171);
    QTest::newRow("left-of-screen-kept") << QPoint(-20, 10) << QPoint(-20, 10);
}

void tst_UDSCSett::position()
{
    QFETCH(QPoint, wanted);
    QFETCH(QPoint, placed);
    QCOMPARE(QGuiApplication::primaryScreen()->geometry(), QRect(0, 0, 800, 600));
    QPoint at;
    QSize outer;
    ModalDriver driver([&](QWidget *modal) {
        at = modal->pos();
        outer = modal->frameGeometry().size();
        static_cast<QDialog *>(modal)->reject();
    });
    QWidget mainWindow;
    mainWindow.show();
    QVERIFY(QTest::qWaitForWindowExposed(&mainWindow));
    TfrmSettings::ShowDetails(
        mp3(), m_info, wanted.y(), wanted.x(), m_dir->filePath(QStringLiteral("s.INI")), &mainWindow);
    QCOMPARE(outer, QSize(749, 349));
    QCOMPARE(at, placed);
}

void tst_UDSCSett::layout_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QString>("text");
    QTest::newRow("ediWriter") << "ediWriter" << QRect(8, 24, 353, 24) << "";
    QTest::newRow("ediPlaytime") << "ediPlaytime" << QRect(8, 72, 73, 24) << "";
    QTest::newRow("ediSongYear") << "ediSongYear" << QRect(104, 72, 73, 24) << "";
    QTest::newRow("ediAlbumYear") << "ediAlbumYear" << QRect(200, 72, 73, 24) << "";
    QTest::newRow("bxlCount") << "bxlCount" << QRect(288, 72, 73, 24) << "";
    QTest::newRow("ediAlbumName") << "ediAlbumName" << QRect(8, 120, 353, 24) << "";
    QTest::newRow("ediAlbumCDNum") << "ediAlbumCDNum" << QRect(8, 168, 353, 24) << "";
    QTest::newRow("ediAlbumLabel") << "ediAlbumLabel" << QRect(8, 216, 353, 24) << "";
    QTest::newRow("bxlFilename") << "bxlFilename" << QRect(8, 264, 353, 22) << "";
    QTest::newRow("memLyrics") << "memLyrics" << QRect(384, 24, 353, 313) << "";
    QTest::newRow("bbtClone") << "bbtClone" << QRect(8, 312, 75, 25) << "C&lone...";
    QTest::newRow("bbtINI") << "bbtINI" << QRect(88, 312, 75, 25) << "&View INI";
    QTest::newRow("bbtCancel") << "bbtCancel" << QRect(208, 312, 75, 25) << "&Cancel";
    QTest::newRow("bbtOk") << "bbtOk" << QRect(288, 312, 75, 25) << "&Save";
    QTest::newRow("lblWriter") << "lblWriter" << QRect(8, 8, 0, 0) << "Songwriter";
    QTest::newRow("lblPlaytime") << "lblPlaytime" << QRect(8, 56, 0, 0) << "Playtime";
    QTest::newRow("lblSongYear") << "lblSongYear" << QRect(104, 56, 0, 0) << "Song Year";
    QTest::newRow("lblAlbumYear") << "lblAlbumYear" << QRect(200, 56, 0, 0) << "Album Year";
    QTest::newRow("lblCount") << "lblCount" << QRect(288, 56, 0, 0) << "Usage Count";
    QTest::newRow("lblAlbumName") << "lblAlbumName" << QRect(8, 104, 0, 0) << "Album Name";
    QTest::newRow("lblAlbumCDNum") << "lblAlbumCDNum" << QRect(8, 152, 0, 0) << "Album Barcode";
    QTest::newRow("lblAlbumLabel") << "lblAlbumLabel" << QRect(8, 200, 0, 0) << "Album Label";
    QTest::newRow("lblFilename") << "lblFilename" << QRect(8, 248, 0, 0) << "File Name";
    QTest::newRow("lblLyrics") << "lblLyrics" << QRect(384, 8, 0, 0) << "Lyrics";
}

void tst_UDSCSett::layout()
{
    QFETCH(QString, name);
    QFETCH(QRect, geometry);
    QFETCH(QString, text);
    QRect shown;
    QString shownText;
    QVERIFY(show([&](TfrmSettings *d) {
        auto *w = d->findChild<QWidget *>(name);
        if (w) {
            shown = w->geometry();
            if (auto *b = qobject_cast<QPushButton *>(w))
                shownText = b->text();
            if (auto *l = qobject_cast<QLabel *>(w))
                shownText = l->text();
        }
        d->reject();
    }));
    if (geometry.size().isEmpty()) // a label: its place, its size from its text
        QCOMPARE(shown.topLeft(), geometry.topLeft());
    else
        QCOMPARE(shown, geometry);
    QCOMPARE(shownText, text);
}

void tst_UDSCSett::clonePattern_data()
{
    QTest::addColumn<QString>("infoPath");
    QTest::addColumn<QString>("pattern");
    QTest::newRow("artist-title") << "/home/me/info/Zand-Daylight.INI"
                                  << "/home/me/info/Zand-*.INI";
    QTest::newRow("two-dashes") << "/info/Zand-Day-light.INI"
                                << "/info/Zand-*.INI";
    QTest::newRow("dash-in-folder") << "/home/me/my-music/Zand-Daylight.INI"
                                    << "/home/me/my-*.INI";
    QTest::newRow("no-dash") << "/info/Daylight.INI"
                             << "*.INI";
}

void tst_UDSCSett::clonePattern()
{
    QFETCH(QString, infoPath);
    QFETCH(QString, pattern);
    QCOMPARE(TfrmSettings::ClonePattern(infoPath), pattern);
}

void tst_UDSCSett::cloneTakesOtherSongsValues_data()
{
    QTest::addColumn<QString>("infoFolder");
    QTest::addColumn<QStringList>("filters");
    QTest::newRow("same-artist-first") << "info" << QStringList { "Zand-*.INI", "INI-files (*.INI)" };
    QTest::newRow("dash-in-folder-stays-in-folder") << "my-music/info" << QStringList { "INI-files (*.INI)" };
}

void tst_UDSCSett::cloneTakesOtherSongsValues()
{
    QFETCH(QString, infoFolder);
    QFETCH(QStringList, filters);
    m_info = QFile::encodeName(m_dir->filePath(infoFolder));
    QVERIFY(QDir().mkpath(QFile::decodeName(m_info)));
    writeBytes(info(), Typical);
    writeBytes(info("Zand-Nacht.INI"),
        QByteArrayLiteral("[Info]\r\nUsageCount = 42\r\nWriter = Kees\r\nAlbumName = Nacht\r\nLyrics = "
                          "Yes\r\n\r\nnacht\r\n"));
    QString proposedFolder;
    QStringList proposedFilters;
    QString shownLyrics;
    ModalDriver openDriver([&](QWidget *modal) {
        if (auto *open = qobject_cast<QFileDialog *>(modal)) {
            proposedFolder = open->directory().absolutePath();
            proposedFilters = open->nameFilters();
            // Typed into the file-name box, as a user picks a file.
            open->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))
                ->setText(QStringLiteral("Zand-Nacht.INI"));
            QMetaObject::invokeMethod(open, "accept");
        }
    });
    bool saved = false;
    QVERIFY(show(
        [&](TfrmSettings *d) {
            d->bbtClone->click();
            shownLyrics = d->memLyrics->toPlainText();
            d->bbtOk->click();
        },
        &saved));
    QVERIFY(saved);
    QCOMPARE(proposedFolder, QFile::decodeName(m_info));
    QCOMPARE(proposedFilters, filters);
    QCOMPARE(shownLyrics, QStringLiteral("Eerste regel\n  Tweede regel"));
    QCOMPARE(readBytes(info()),
        QByteArray(HEAD("08-12-2026") "UsageCount = 42\r\n"
                                      "Writer     = Kees\r\n"
                                      "Playtime   = \r\n"
                                      "AlbumName  = Nacht\r\n"
                                      "SongYear   = \r\n"
                                      "AlbumYear  = \r\n"
                                      "AlbumCDNum = \r\n"
                                      "AlbumLabel = \r\n"
                                      "Lyrics     = Yes\r\n"
                                      "\r\n" SEP "\r\n\r\n"
                                      "Eerste regel\r\n"
                                      "  Tweede regel\r\n"));
}

void tst_UDSCSett::enterAndTabStayInDialog()
{
    writeBytes(info(), Typical);
    bool openAfterEnter = false;
    QString lyrics;
    bool saved = true;
    QVERIFY(show(
        [&](TfrmSettings *d) {
            d->activateWindow();
            d->ediWriter->setFocus();
            QTest::keyClick(d->ediWriter, Qt::Key_Return);
            openAfterEnter = d->isVisible() && d->result() == 0;
            d->memLyrics->setFocus();
            d->memLyrics->moveCursor(QTextCursor::End);
            QTest::keyClick(d->memLyrics, Qt::Key_Tab);
            lyrics = d->memLyrics->toPlainText();
            d->reject();
        },
        &saved));
    QVERIFY(openAfterEnter);
    QVERIFY(!saved);
    QCOMPARE(lyrics, QStringLiteral("Eerste regel\n  Tweede regel\t"));
    QCOMPARE(readBytes(info()), Typical);
}

void tst_UDSCSett::enterOnFocusedButton_data()
{
    // What Enter on the focused button leads to: the dialog saved or
    // cancelled, or the window the button opened (by its object name).
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("outcome");
    QTest::newRow("save-saves") << "bbtOk"
                                << "saved";
    QTest::newRow("cancel-cancels") << "bbtCancel"
                                    << "cancelled";
    QTest::newRow("clone-opens-file-dialog") << "bbtClone"
                                             << "OpenDialog1";
    QTest::newRow("view-ini-opens-viewer") << "bbtINI"
                                           << "frmLogFile";
}

void tst_UDSCSett::enterOnFocusedButton()
{
    QFETCH(QString, button);
    QFETCH(QString, outcome);
    writeBytes(info(), Typical);
    QString opened;
    ModalDriver other([&](QWidget *modal) {
        if (qobject_cast<TfrmSettings *>(modal))
            return;
        opened = modal->objectName();
        QMetaObject::invokeMethod(modal, "reject", Qt::QueuedConnection);
    });
    bool saved = false;
    bool stillOpen = false;
    QVERIFY(show(
        [&](TfrmSettings *d) {
            d->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(d));
            auto *b = d->findChild<QPushButton *>(button);
            b->setFocus(Qt::TabFocusReason);
            QTRY_VERIFY(b->hasFocus());
            QTest::keyClick(b, Qt::Key_Return);
            stillOpen = d->isVisible();
            if (stillOpen)
                d->reject();
        },
        &saved));
    QCOMPARE(saved, outcome == u"saved");
    QCOMPARE(stillOpen, outcome != u"saved" && outcome != u"cancelled");
    QCOMPARE(opened, stillOpen ? outcome : QString());
    QCOMPARE(readBytes(info()) == Typical, outcome != u"saved");
}

void tst_UDSCSett::fieldNavigation_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("to");
    QTest::newRow("enter-writer-to-playtime") << "ediWriter" << int(Qt::Key_Return) << "ediPlaytime";
    QTest::newRow("enter-playtime-to-song-year") << "ediPlaytime" << int(Qt::Key_Enter) << "ediSongYear";
    QTest::newRow("down-album-year-to-album-name") << "ediAlbumYear" << int(Qt::Key_Down) << "ediAlbumName";
    QTest::newRow("up-album-name-to-album-year") << "ediAlbumName" << int(Qt::Key_Up) << "ediAlbumYear";
    QTest::newRow("enter-barcode-to-label") << "ediAlbumCDNum" << int(Qt::Key_Return) << "ediAlbumLabel";
    QTest::newRow("enter-label-to-lyrics") << "ediAlbumLabel" << int(Qt::Key_Return) << "memLyrics";
    QTest::newRow("up-writer-wraps-to-save") << "ediWriter" << int(Qt::Key_Up) << "bbtOk";
}

void tst_UDSCSett::fieldNavigation()
{
    QFETCH(QString, from);
    QFETCH(int, key);
    QFETCH(QString, to);
    QString focused;
    bool saved = true;
    QVERIFY(show(
        [&](TfrmSettings *d) {
            d->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(d));
            auto *edit = d->findChild<TQLXEdit *>(from);
            edit->setFocus();
            QTRY_COMPARE(QApplication::focusWidget(), edit);
            QTest::keyClick(edit, Qt::Key(key));
            // The focus may stay (the last field): what it is then is checked.
            (void)QTest::qWaitFor([&] { return QApplication::focusWidget() != edit; }, 2000);
            focused = QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : QString();
            d->reject();
        },
        &saved));
    QCOMPARE(focused, to);
    QVERIFY(!saved);
}

int main(int argc, char **argv)
{
    // An 800 x 600 screen whose windows get a frame, as on a desktop.
    QTemporaryDir configDir;
    const QString config = configDir.filePath(QStringLiteral("screen.json"));
    writeBytes(config,
        QByteArrayLiteral(R"({ "screens": [ { "name": "s", "x": 0, "y": 0, "width": 800, "height": 600,)"
                          R"( "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1 } ] })"));
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + QFile::encodeName(config));
    QApplication app(argc, argv);
    tst_UDSCSett test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_UDSCSett.moc"
