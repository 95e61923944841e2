// The statistics report as the user finds it on disk: counters, the song
// lines with the artist column, their order and the CR LF line ends.

#include "QLXError.h"
#include "SongList.h"
#include "StatisticsReport.h"
#include "TestSupport.h"

#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using TestSupport::readBytes;
using TestSupport::writeBytes;

namespace
{

// One grid row: artist cell (filled on the first song of an artist's run
// only), title cell and lyrics-mark cell.
struct Row {
    QString artist, title, mark;
};
using Rows = QList<Row>;

void fill(TSongList &grid, const Rows &rows)
{
    grid.setRowCount(int(rows.size()) + 1);
    for (int i = 0; i < rows.size(); ++i) {
        grid.setCell(TSongList::ColArtist, i + 1, rows[i].artist);
        grid.setCell(TSongList::ColTitle, i + 1, rows[i].title);
        grid.setCell(TSongList::ColLyrics, i + 1, rows[i].mark);
    }
}

QByteArray head(const char *songs, const char *without, const char *unclear, const char *instrumental)
{
    return QByteArray("\r\n Nummer of songs: ") + songs + "\r\n Without lyrics:  " + without
        + "\r\n Unclear lyrics:  " + unclear + "\r\n Instrumental:    " + instrumental + "\r\n\r\n";
}

} // namespace

Q_DECLARE_METATYPE(Rows)

class tst_StatisticsReport : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void report_data();
    void report();
    void caseAndAccentsInLocaleOrder();
    void rewrittenWhole();
    void unwritableKeepsOldReport_data();
    void unwritableKeepsOldReport();
    void pathBesideProgram_data();
    void pathBesideProgram();
};

void tst_StatisticsReport::report_data()
{
    QTest::addColumn<Rows>("rows");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("empty-list") << Rows {} << head("    0", "    0", "    0", "    0");
    QTest::newRow("three-songs-one-of-each") << Rows { { "Abba", "Fernando", "V" }, { "", "Intermezzo", "I" },
        { "", "Waterloo", " " } } << head("    3", "    1", "    0", "    1") + "   Abba Waterloo\r\n";
    QTest::newRow("merel-zand-unclear") << Rows { { "Merel", "Lente", "V" }, { "Zand", "Daylight", "X" } }
                                        << head("    2", "    0", "    1", "    0") + " X Zand  Daylight\r\n";
    QTest::newRow("long-artist-widens-every-line") << Rows { { "Merel", "Lente", " " },
        { "Zand", "Daylight", "X" }, { "The Very Long Band", "Song", "V" } }
                                                   << head("    3", "    1", "    1", "    0")
            + "   Merel              Lente\r\n"
              " X Zand               Daylight\r\n";
    QTest::newRow("artist-run-below-first-row")
        << Rows { { "Zand", "B-side", " " }, { "", "A-side", " " }, { "Merel", "Zomer", " " } }
        << head("    3", "    3", "    0", "    0")
            + "   Merel Zomer\r\n"
              "   Zand  A-side\r\n"
              "   Zand  B-side\r\n";
    QTest::newRow("blank-before-x-then-artist-then-title") << Rows { { "Aap", "Zebra", "X" },
        { "", "Appel", " " }, { "Noot", "Mies", "X" }, { "", "Boom", " " } }
                                                           << head("    4", "    2", "    2", "    0")
            + "   Aap  Appel\r\n"
              "   Noot Boom\r\n"
              " X Aap  Zebra\r\n"
              " X Noot Mies\r\n";
    QTest::newRow("letter-case-ignored")
        << Rows { { "abba", "b", " " }, { "ABBA", "a", " " }, { "Bach", "c", " " } }
        << head("    3", "    3", "    0", "    0")
            + "   ABBA a\r\n"
              "   abba b\r\n"
              "   Bach c\r\n";
    QTest::newRow("v-and-i-never-listed") << Rows { { "A", "1", "V" }, { "", "2", "I" }, { "", "3", "V" } }
                                          << head("    3", "    0", "    0", "    1");
    QTest::newRow("blank-artist-cell-keeps-artist-but-counts-length")
        << Rows { { "Zand", "Een", " " }, { "        ", "Twee", " " } }
        << head("    2", "    2", "    0", "    0")
            + "   Zand     Een\r\n"
              "   Zand     Twee\r\n";
    QTest::newRow("empty-mark-cell-is-no-lyrics")
        << Rows { { "Zand", "Leeg", "" } } << head("    1", "    1", "    0", "    0") + "  Zand Leeg\r\n";
    QTest::newRow("unknown-mark-only-counted-as-song")
        << Rows { { "Zand", "Raar", "Q" } } << head("    1", "    0", "    0", "    0");
    QTest::newRow("99999-songs-fill-the-column")
        << Rows(99999, { "Zand", "Lied", "V" }) << head("99999", "    0", "    0", "    0");
    Rows many(100000, { "Zand", "Lied", "V" });
    many[5].mark = "I";
    QTest::newRow("100000-songs-written-whole") << many << head("100000", "    0", "    0", "    1");
    QTest::newRow("non-ascii-utf8") << Rows { { "Café", "Crème",
        " " } } << head("    1", "    1", "    0", "    0") + "   Caf\xC3\xA9 Cr\xC3\xA8me\r\n";
}

void tst_StatisticsReport::report()
{
    QFETCH(Rows, rows);
    QFETCH(QByteArray, expected);
    QTemporaryDir dir;
    TSongList grid;
    fill(grid, rows);
    const QString path = dir.filePath(QStringLiteral("discora.TXT"));
    StatisticsReport::Write(path, grid);
    QCOMPARE(readBytes(path), expected);
}

void tst_StatisticsReport::caseAndAccentsInLocaleOrder()
{
    // With a language's rules an accented letter sorts beside its plain
    // one, not after "z" as a byte order would put it.
    TSongList grid;
    fill(grid, { { "Zand", "z", " " }, { "Émile", "e", " " }, { "Eva", "e", " " }, { "eva", "f", " " } });
    QCollator collator { QLocale(QLocale::Dutch, QLocale::Netherlands) };
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    const QStringList lines = StatisticsReport::Lines(grid, collator);
    QCOMPARE(lines.mid(6), QStringList({ "   Émile e", "   Eva   e", "   eva   f", "   Zand  z" }));
}

void tst_StatisticsReport::rewrittenWhole()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("discora.TXT"));
    TSongList grid;
    fill(grid, { { "Zand", "Daylight", "X" }, { "", "Nacht", " " } });
    StatisticsReport::Write(path, grid);
    fill(grid, { { "Zand", "Daylight", "V" } });
    StatisticsReport::Write(path, grid);
    QCOMPARE(readBytes(path), head("    1", "    0", "    0", "    0"));
}

void tst_StatisticsReport::unwritableKeepsOldReport_data()
{
    QTest::addColumn<int>("folderMode");
    QTest::addColumn<int>("fileMode");
    QTest::newRow("read-only-program-folder") << 0555 << 0644;
    QTest::newRow("read-only-report") << 0755 << 0444;
}

void tst_StatisticsReport::unwritableKeepsOldReport()
{
    QFETCH(int, folderMode);
    QFETCH(int, fileMode);
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("prog"));
    QVERIFY(QDir().mkdir(folder));
    const QString path = folder + QStringLiteral("/discora.TXT");
    const QByteArray old = QByteArrayLiteral("\r\n Nummer of songs:     7\r\n");
    writeBytes(path, old);
    QCOMPARE(::chmod(QFile::encodeName(path).constData(), mode_t(fileMode)), 0);
    QCOMPARE(::chmod(QFile::encodeName(folder).constData(), mode_t(folderMode)), 0);
    TSongList grid;
    fill(grid, { { "Zand", "Daylight", "X" } });
    QString error;
    try {
        StatisticsReport::Write(path, grid);
    } catch (const EQLXError &e) {
        error = e.message();
    }
    ::chmod(QFile::encodeName(folder).constData(), 0755);
    QCOMPARE(error, QStringLiteral("Unable to write to ") + path);
    QCOMPARE(readBytes(path), old);
    QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList { "discora.TXT" });
}

void tst_StatisticsReport::pathBesideProgram_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("report");
    QTest::newRow("no-extension") << "/opt/discora/discora"
                                  << "/opt/discora/discora.TXT";
    QTest::newRow("extension-replaced") << "/opt/discora/discora.bin"
                                        << "/opt/discora/discora.TXT";
    QTest::newRow("dot-in-folder-only") << "/opt/v1.5/discora"
                                        << "/opt/v1.5/discora.TXT";
    QTest::newRow("hidden-name") << "/opt/.discora"
                                 << "/opt/.discora.TXT";
}

void tst_StatisticsReport::pathBesideProgram()
{
    QFETCH(QString, program);
    QFETCH(QString, report);
    QCOMPARE(StatisticsReport::PathFor(program), report);
}

QTEST_GUILESS_MAIN(tst_StatisticsReport)
#include "tst_StatisticsReport.moc"
