// INI files read and changed one key at a time: values read from hand-made
// files, and single-key writes compared byte for byte with hand-made results.

#include "MIS_Func.h"
#include "ProfileFile.h"
#include "QLXError.h"
#include "TestSupport.h"

#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using TestSupport::readBytes;
using TestSupport::writeBytes;

namespace
{

QStringList texts(std::initializer_list<const char *> items)
{
    QStringList list;
    for (const char *item : items)
        list.append(QString::fromUtf8(item));
    return list;
}

} // namespace

class tst_ProfileFile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void sectionKeysEnd_data();
    void sectionKeysEnd();
    void readString_data();
    void readString();
    void readSection_data();
    void readSection();
    void writeString_data();
    void writeString();
    void writeStringRefused_data();
    void writeStringRefused();
    void hugeInput_data();
    void hugeInput();

    void iniReadString_data();
    void iniReadString();
    void iniWriteStringCreatesFile();
    void iniWriteStringChangesOneLine();
    void iniWriteStringRefused_data();
    void iniWriteStringRefused();

private:
    QTemporaryDir m_dir;
};

void tst_ProfileFile::readString_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expected");

    const QString dflt = QStringLiteral("<default>");
    const QByteArray a2047(2047, 'a');
    const QString s2047(2047, u'a');

    QTest::newRow("crlf") << QByteArrayLiteral("[Info]\r\nA=1\r\nB=2\r\n") << "Info"
                          << "B"
                          << "2";
    QTest::newRow("lf") << QByteArrayLiteral("[Info]\nA=1\nB=2\n") << "Info"
                        << "B"
                        << "2";
    QTest::newRow("cr-only") << QByteArrayLiteral("[Info]\rA=1\rB=2\r") << "Info"
                             << "B"
                             << "2";
    QTest::newRow("mixed-line-ends") << QByteArrayLiteral("[Info]\r\nA=1\nB=2\rC=3") << "Info"
                                     << "C"
                                     << "3";
    QTest::newRow("no-final-line-end") << QByteArrayLiteral("[Info]\r\nB=2") << "Info"
                                       << "B"
                                       << "2";
    QTest::newRow("before-first-section") << QByteArrayLiteral("B=0\r\n[Info]\r\nA=1\r\n") << "Info"
                                          << "B" << dflt;
    QTest::newRow("section-other-case") << QByteArrayLiteral("[iNFO]\r\nB=2\r\n") << "Info"
                                        << "B"
                                        << "2";
    QTest::newRow("key-other-case") << QByteArrayLiteral("[Info]\r\nusageCOUNT=7\r\n") << "Info"
                                    << "UsageCount"
                                    << "7";
    QTest::newRow("key-twice") << QByteArrayLiteral("[Info]\r\nB=first\r\nB=second\r\n") << "Info"
                               << "B"
                               << "first";
    QTest::newRow("section-twice") << QByteArrayLiteral("[Info]\r\nA=1\r\n[Info]\r\nB=2\r\n") << "Info"
                                   << "B" << dflt;
    QTest::newRow("section-twice-first-wins")
        << QByteArrayLiteral("[Info]\r\nB=1\r\n[Info]\r\nB=2\r\n") << "Info"
        << "B"
        << "1";
    QTest::newRow("key-in-other-section")
        << QByteArrayLiteral("[Other]\r\nB=x\r\n[Info]\r\nA=1\r\n") << "Info"
        << "B" << dflt;
    QTest::newRow("key-after-section-ends")
        << QByteArrayLiteral("[Info]\r\nA=1\r\n[Other]\r\nB=x\r\n") << "Info"
        << "B" << dflt;
    QTest::newRow("blanks-around") << QByteArrayLiteral("  [ Info ]  \r\n\t B \t=\t  v a l  \t\r\n") << "Info"
                                   << "B"
                                   << "v a l";
    QTest::newRow("blanks-around-asked-name") << QByteArrayLiteral("[Info]\r\nB=2\r\n") << " Info "
                                              << " B"
                                              << "2";
    QTest::newRow("quotes-dropped") << QByteArrayLiteral("[Info]\r\nB= \"  q  \" \r\n") << "Info"
                                    << "B"
                                    << "  q  ";
    QTest::newRow("one-quote-pair-only") << QByteArrayLiteral("[Info]\r\nB=\"\"x\"\"\r\n") << "Info"
                                         << "B"
                                         << "\"x\"";
    QTest::newRow("quote-at-start-only") << QByteArrayLiteral("[Info]\r\nB=\"abc\r\n") << "Info"
                                         << "B"
                                         << "\"abc";
    QTest::newRow("single-quote-char") << QByteArrayLiteral("[Info]\r\nB=\"\r\n") << "Info"
                                       << "B"
                                       << "\"";
    QTest::newRow("empty-quotes") << QByteArrayLiteral("[Info]\r\nB=\"\"\r\n") << "Info"
                                  << "B"
                                  << "";
    QTest::newRow("empty-value") << QByteArrayLiteral("[Info]\r\nB=\r\n") << "Info"
                                 << "B"
                                 << "";
    QTest::newRow("blank-value") << QByteArrayLiteral("[Info]\r\nB =   \t\r\n") << "Info"
                                 << "B"
                                 << "";
    QTest::newRow("missing-key") << QByteArrayLiteral("[Info]\r\nA=1\r\n") << "Info"
                                 << "B" << dflt;
    QTest::newRow("missing-section") << QByteArrayLiteral("[Other]\r\nB=1\r\n") << "Info"
                                     << "B" << dflt;
    QTest::newRow("empty-file") << QByteArray() << "Info"
                                << "B" << dflt;
    QTest::newRow("comment-line") << QByteArrayLiteral("[Info]\r\n;B=c\r\n  ; B=d\r\nB=2\r\n") << "Info"
                                  << "B"
                                  << "2";
    QTest::newRow("commented-out-only") << QByteArrayLiteral("[Info]\r\n;B=c\r\n") << "Info"
                                        << "B" << dflt;
    QTest::newRow("line-without-equals") << QByteArrayLiteral("[Info]\r\nB\r\n") << "Info"
                                         << "B" << dflt;
    QTest::newRow("first-equals-splits") << QByteArrayLiteral("[Info]\r\nB=x=y\r\n") << "Info"
                                         << "B"
                                         << "x=y";
    QTest::newRow("header-with-trailing-text") << QByteArrayLiteral("[Info] ; note\r\nB=2\r\n") << "Info"
                                               << "B"
                                               << "2";
    QTest::newRow("key-with-inner-blank") << QByteArrayLiteral("[Info]\r\nAlbum Name = x\r\n") << "Info"
                                          << "Album Name"
                                          << "x";
    QTest::newRow("lyric-line-after-real-key")
        << QByteArrayLiteral("[Info]\r\nWriter = real\r\n\r\n; ***\r\n\r\nWriter = lyric\r\n") << "Info"
        << "Writer"
        << "real";
    QTest::newRow("value-2047-chars") << QByteArray("[Info]\r\nB=" + a2047 + "\r\n") << "Info"
                                      << "B" << s2047;
    QTest::newRow("value-2048-chars") << QByteArray("[Info]\r\nB=" + a2047 + "b\r\n") << "Info"
                                      << "B" << s2047;
    QTest::newRow("value-2048-chars-quoted") << QByteArray("[Info]\r\nB=\"" + a2047 + "b\"\r\n") << "Info"
                                             << "B" << s2047;
    QTest::newRow("value-2047-chars-utf8")
        << QByteArray("[Info]\r\nB=" + QByteArray(2046, 'a') + "\xC3\xA9\xC3\xA9\r\n") << "Info"
        << "B" << QString(QString(2046, u'a') + QStringLiteral("é"));
    QTest::newRow("surrogate-pair-at-cut")
        << QByteArray("[Info]\r\nB=" + QByteArray(2046, 'a') + "\xF0\x9F\x98\x80\r\n") << "Info"
        << "B" << QString(2046, u'a');
    QTest::newRow("bom") << QByteArrayLiteral("\xEF\xBB\xBF[Info]\r\nB=2\r\n") << "Info"
                         << "B"
                         << "2";
    QTest::newRow("utf8-value") << QByteArrayLiteral("[Info]\r\nB=Caf\xC3\xA9\r\n") << "Info"
                                << "B" << QStringLiteral("Café");
    QTest::newRow("value-starting-with-feff") << QByteArrayLiteral("[Info]\r\nB=\xEF\xBB\xBFx\r\n") << "Info"
                                              << "B" << QStringLiteral("\uFEFFx");
    QTest::newRow("key-starting-with-feff") << QByteArrayLiteral("[Info]\r\n\xEF\xBB\xBF"
                                                                 "B=1\r\nB=2\r\n")
                                            << "Info"
                                            << QStringLiteral("\uFEFF"
                                                              "B")
                                            << "1";
    QTest::newRow("section-starting-with-feff")
        << QByteArrayLiteral("[Info]\r\nB=1\r\n[\xEF\xBB\xBFInfo]\r\nB=2\r\n") << QStringLiteral("\uFEFFInfo")
        << "B"
        << "2";
    QTest::newRow("bom-then-feff-value")
        << QByteArrayLiteral("\xEF\xBB\xBF[Info]\r\nB=\xEF\xBB\xBF\r\n") << "Info"
        << "B" << QStringLiteral("\uFEFF");
    QTest::newRow("cp1252-value") << QByteArrayLiteral("[Info]\r\nB=Caf\xE9 \x80\r\n") << "Info"
                                  << "B" << QStringLiteral("Café €");
    QTest::newRow("cp1252-elsewhere-utf8-value")
        << QByteArrayLiteral("[Info]\r\nA=M\xFCller\r\nB=M\xC3\xBCller\r\n") << "Info"
        << "B" << QStringLiteral("Müller");
    QTest::newRow("nul-in-value") << QByteArrayLiteral("[Info]\r\nA=\0\0\r\nB=x\0y\r\n") << "Info"
                                  << "B" << QString::fromLatin1("x\0y", 3);
    QTest::newRow("nul-in-section-name") << QByteArrayLiteral("[In\0fo]\r\nB=1\r\n") << "Info"
                                         << "B" << dflt;
    QTest::newRow("non-ascii-section-utf8") << QByteArrayLiteral("[Gr\xC3\xB6\xC3\x9F"
                                                                 "e]\r\nB=1\r\n")
                                            << QStringLiteral("GRÖßE") << "b"
                                            << "1";
    QTest::newRow("non-ascii-section-cp1252") << QByteArrayLiteral("[Gr\xF6\xDF"
                                                                   "e]\r\nB=1\r\n")
                                              << QStringLiteral("GRÖßE") << "b"
                                              << "1";
    QTest::newRow("non-ascii-near-miss")
        << QByteArrayLiteral("[Grosse]\r\nB=1\r\n") << QStringLiteral("Größe") << "B" << dflt;
    QTest::newRow("bracket-line-without-close") << QByteArrayLiteral("[Info]\r\n[Other\r\nB=2\r\n") << "Info"
                                                << "B"
                                                << "2";
}

void tst_ProfileFile::readString()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, expected);
    QCOMPARE(ProfileFile::readString(content, section, key, QStringLiteral("<default>")), expected);
}

void tst_ProfileFile::readSection_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<QStringList>("expected"); // "<null>" stands for a missing key

    const QStringList keys { QStringLiteral("Playtime"), QStringLiteral("Lyrics"), QStringLiteral("SongYear"),
        QStringLiteral("UsageCount") };
    QTest::newRow("all-present") << QByteArrayLiteral(
        "[Info]\r\nUsageCount = 3\r\nPlaytime   = 03:45\r\nSongYear   = 1999x\r\nLyrics     = Yes\r\n")
                                 << keys << texts({ "03:45", "Yes", "1999x", "3" });
    QTest::newRow("missing-and-empty") << QByteArrayLiteral("[Info]\r\nPlaytime=\r\nUsageCount=4\r\n") << keys
                                       << texts({ "", "<null>", "<null>", "4" });
    QTest::newRow("key-twice-other-case")
        << QByteArrayLiteral("[Info]\r\nlyrics=Instrumental\r\nLYRICS=Yes\r\n") << keys
        << texts({ "<null>", "Instrumental", "<null>", "<null>" });
    QTest::newRow("stops-at-next-section")
        << QByteArrayLiteral("[Info]\r\nPlaytime=1\r\n[More]\r\nLyrics=Yes\r\n[Info]\r\nSongYear=2\r\n")
        << keys << texts({ "1", "<null>", "<null>", "<null>" });
    QTest::newRow("no-section") << QByteArrayLiteral("Playtime=1\r\n") << keys
                                << texts({ "<null>", "<null>", "<null>", "<null>" });
}

void tst_ProfileFile::readSection()
{
    QFETCH(QByteArray, content);
    QFETCH(QStringList, keys);
    QFETCH(QStringList, expected);
    QStringList values { QStringLiteral("stale") };
    ProfileFile::readSection(content, u"Info", keys, values);
    QCOMPARE(values.size(), expected.size());
    for (qsizetype i = 0; i < expected.size(); ++i) {
        if (expected[i] == QLatin1String("<null>"))
            QVERIFY2(values[i].isNull(), qPrintable(keys[i]));
        else
            QCOMPARE(values[i], expected[i]);
    }
}

void tst_ProfileFile::writeString_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("replace-keeps-prefix")
        << QByteArrayLiteral("[Info]\r\nUsageCount = 5\r\nWriter     = x\r\n") << "UsageCount"
        << "6" << QByteArrayLiteral("[Info]\r\nUsageCount = 6\r\nWriter     = x\r\n");
    QTest::newRow("replace-lf") << QByteArrayLiteral("[Info]\nA=1\nB=2\n") << "A"
                                << "9" << QByteArrayLiteral("[Info]\nA=9\nB=2\n");
    QTest::newRow("replace-cr-only") << QByteArrayLiteral("[Info]\rA=1\rB=2\r") << "B"
                                     << "10" << QByteArrayLiteral("[Info]\rA=1\rB=10\r");
    QTest::newRow("replace-last-line-no-break") << QByteArrayLiteral("[Info]\r\nA=1") << "A"
                                                << "22" << QByteArrayLiteral("[Info]\r\nA=22");
    QTest::newRow("replace-drops-trailing-blanks") << QByteArrayLiteral("[Info]\r\nA = 1   \r\n") << "A"
                                                   << "2" << QByteArrayLiteral("[Info]\r\nA = 2\r\n");
    QTest::newRow("replace-empty-value")
        << QByteArrayLiteral("[Info]\r\nPlaytime   = \r\nX=1\r\n") << "Playtime"
        << "??:??" << QByteArrayLiteral("[Info]\r\nPlaytime   = ??:??\r\nX=1\r\n");
    QTest::newRow("replace-with-empty") << QByteArrayLiteral("[Info]\r\nA = 1\r\n") << "A"
                                        << "" << QByteArrayLiteral("[Info]\r\nA = \r\n");
    QTest::newRow("replace-quoted") << QByteArrayLiteral("[Info]\r\nA=\"old\"\r\n") << "A"
                                    << "new" << QByteArrayLiteral("[Info]\r\nA=new\r\n");
    QTest::newRow("replace-other-case-key") << QByteArrayLiteral("[info]\r\nusagecount=3\r\n") << "UsageCount"
                                            << "4" << QByteArrayLiteral("[info]\r\nusagecount=4\r\n");
    QTest::newRow("replace-first-of-key-twice") << QByteArrayLiteral("[Info]\r\nA=1\r\nA=2\r\n") << "A"
                                                << "7" << QByteArrayLiteral("[Info]\r\nA=7\r\nA=2\r\n");
    QTest::newRow("replace-in-first-of-section-twice")
        << QByteArrayLiteral("[Info]\r\nA=1\r\n[Info]\r\nA=2\r\n") << "A"
        << "7" << QByteArrayLiteral("[Info]\r\nA=7\r\n[Info]\r\nA=2\r\n");
    QTest::newRow("replace-keeps-lyrics")
        << QByteArrayLiteral(
               "; c\r\n\r\n[Info]\r\nA = 1\r\nB = 2\r\n\r\n; ***\r\n\r\nla  la\r\nA = lyric\r\n")
        << "A"
        << "3"
        << QByteArrayLiteral(
               "; c\r\n\r\n[Info]\r\nA = 3\r\nB = 2\r\n\r\n; ***\r\n\r\nla  la\r\nA = lyric\r\n");
    QTest::newRow("add-after-first-run")
        << QByteArrayLiteral("[Info]\r\nA=1\r\nB=2\r\n\r\n; ***\r\n\r\nx=lyric\r\n") << "C"
        << "3" << QByteArrayLiteral("[Info]\r\nA=1\r\nB=2\r\nC=3\r\n\r\n; ***\r\n\r\nx=lyric\r\n");
    QTest::newRow("add-to-section-without-keys") << QByteArrayLiteral("[Info]\r\n\r\ntext\r\n") << "C"
                                                 << "3" << QByteArrayLiteral("[Info]\r\nC=3\r\n\r\ntext\r\n");
    QTest::newRow("add-comment-is-no-key") << QByteArrayLiteral("[Info]\r\n;A=1\r\n") << "A"
                                           << "2" << QByteArrayLiteral("[Info]\r\nA=2\r\n;A=1\r\n");
    QTest::newRow("add-last-line-no-break") << QByteArrayLiteral("[Info]\r\nA=1") << "C"
                                            << "3" << QByteArrayLiteral("[Info]\r\nA=1\r\nC=3\r\n");
    QTest::newRow("add-header-only-no-break") << QByteArrayLiteral("[Info]") << "C"
                                              << "3" << QByteArrayLiteral("[Info]\r\nC=3\r\n");
    QTest::newRow("add-lf-file") << QByteArrayLiteral("[Info]\nA=1\n") << "C"
                                 << "3" << QByteArrayLiteral("[Info]\nA=1\nC=3\n");
    QTest::newRow("add-cr-only-file") << QByteArrayLiteral("[Info]\rA=1\r") << "C"
                                      << "3" << QByteArrayLiteral("[Info]\rA=1\rC=3\r");
    QTest::newRow("add-mixed-breaks-ends-like-line-before")
        << QByteArrayLiteral("[Info]\rA=1\n\nlyric\n") << "C"
        << "3" << QByteArrayLiteral("[Info]\rA=1\nC=3\n\nlyric\n");
    QTest::newRow("add-before-next-section")
        << QByteArrayLiteral("[Info]\r\nA=1\r\n[Next]\r\nB=2\r\n") << "C"
        << "3" << QByteArrayLiteral("[Info]\r\nA=1\r\nC=3\r\n[Next]\r\nB=2\r\n");
    QTest::newRow("add-section-at-end") << QByteArrayLiteral("[Other]\r\nA=1\r\n") << "C"
                                        << "3" << QByteArrayLiteral("[Other]\r\nA=1\r\n[Info]\r\nC=3\r\n");
    QTest::newRow("add-section-no-final-break")
        << QByteArrayLiteral("[Other]\r\nA=1") << "C"
        << "3" << QByteArrayLiteral("[Other]\r\nA=1\r\n[Info]\r\nC=3\r\n");
    QTest::newRow("add-section-lf-file") << QByteArrayLiteral("[Other]\nA=1\n") << "C"
                                         << "3" << QByteArrayLiteral("[Other]\nA=1\n[Info]\nC=3\n");
    QTest::newRow("add-section-key-before-sections") << QByteArrayLiteral("C=1\r\n") << "C"
                                                     << "2" << QByteArrayLiteral("C=1\r\n[Info]\r\nC=2\r\n");
    QTest::newRow("empty-file") << QByteArray() << "C"
                                << "3" << QByteArrayLiteral("[Info]\r\nC=3\r\n");
    QTest::newRow("bom-only") << QByteArrayLiteral("\xEF\xBB\xBF") << "C"
                              << "3" << QByteArrayLiteral("\xEF\xBB\xBF[Info]\r\nC=3\r\n");
    QTest::newRow("bom-header") << QByteArrayLiteral("\xEF\xBB\xBF[Info]\r\nA=1\r\n") << "A"
                                << "2" << QByteArrayLiteral("\xEF\xBB\xBF[Info]\r\nA=2\r\n");
    QTest::newRow("value-blanks-not-stored") << QByteArrayLiteral("[Info]\r\n") << "A"
                                             << " \t x y \t " << QByteArrayLiteral("[Info]\r\nA=x y\r\n");
    QTest::newRow("utf8-value") << QByteArrayLiteral("[Info]\r\n") << "A" << QStringLiteral("Café")
                                << QByteArrayLiteral("[Info]\r\nA=Caf\xC3\xA9\r\n");
    QTest::newRow("key-starting-with-feff-replaced") << QByteArrayLiteral("[Info]\r\n\xEF\xBB\xBF"
                                                                          "A=1\r\n")
                                                     << QStringLiteral("\uFEFF"
                                                                       "A")
                                                     << "2"
                                                     << QByteArrayLiteral("[Info]\r\n\xEF\xBB\xBF"
                                                                          "A=2\r\n");
    QTest::newRow("value-starting-with-feff")
        << QByteArrayLiteral("[Info]\r\n") << "A" << QStringLiteral("\uFEFFx")
        << QByteArrayLiteral("[Info]\r\nA=\xEF\xBB\xBFx\r\n");
    QTest::newRow("cp1252-bytes-kept")
        << QByteArrayLiteral("[Info]\r\nW=M\xFCller\r\nA=1\r\nL=\x80\r\n") << "A"
        << "2" << QByteArrayLiteral("[Info]\r\nW=M\xFCller\r\nA=2\r\nL=\x80\r\n");
    QTest::newRow("nul-bytes-kept") << QByteArrayLiteral("[Info]\r\nX=\0\r\nA=1\r\n\0") << "A"
                                    << "2" << QByteArrayLiteral("[Info]\r\nX=\0\r\nA=2\r\n\0");
    QTest::newRow("value-2048-chars-stored-whole")
        << QByteArrayLiteral("[Info]\r\n") << "A" << QString(2048, u'v')
        << QByteArray("[Info]\r\nA=" + QByteArray(2048, 'v') + "\r\n");
}

void tst_ProfileFile::writeString()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, key);
    QFETCH(QString, value);
    QFETCH(QByteArray, expected);
    const QByteArray written = ProfileFile::writeString(content, u"Info", key, value);
    QCOMPARE(written, expected);
    // Writing the same value again changes nothing.
    QCOMPARE(ProfileFile::writeString(written, u"Info", key, value), expected);
}

void tst_ProfileFile::writeStringRefused_data()
{
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");

    QTest::newRow("empty-section") << ""
                                   << "A"
                                   << "1";
    QTest::newRow("blank-section") << "  "
                                   << "A"
                                   << "1";
    QTest::newRow("empty-key") << "Info"
                               << ""
                               << "1";
    QTest::newRow("key-with-equals") << "Info"
                                     << "A=B"
                                     << "1";
    QTest::newRow("key-starting-with-semicolon") << "Info"
                                                 << ";A"
                                                 << "1";
    QTest::newRow("key-starting-with-bracket") << "Info"
                                               << "[A]"
                                               << "1";
    QTest::newRow("key-with-line-break") << "Info"
                                         << "A\nB"
                                         << "1";
    QTest::newRow("section-with-bracket") << "In]fo"
                                          << "A"
                                          << "1";
    QTest::newRow("section-with-line-break") << "In\r\nfo"
                                             << "A"
                                             << "1";
    QTest::newRow("value-with-lf") << "Info"
                                   << "A"
                                   << "x\n[Other]";
    QTest::newRow("value-with-cr") << "Info"
                                   << "A"
                                   << "x\ry";
}

void tst_ProfileFile::writeStringRefused()
{
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, value);
    QVERIFY_THROWS_EXCEPTION(
        EQLXError, ProfileFile::writeString(QByteArrayLiteral("[Info]\r\nA=1\r\n"), section, key, value));
}

void tst_ProfileFile::hugeInput_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expectedRead");
    QTest::addColumn<QByteArray>("expectedWritten"); // after setting key to "x"

    QByteArray lyrics;
    lyrics.reserve(52 * 1024 * 1024);
    while (lyrics.size() < 50 * 1024 * 1024)
        lyrics += "la la la = la [la] ; la\r\n";
    QTest::newRow("50-mb-file") << QByteArray("[Info]\r\nA=1\r\n" + lyrics + "Z=end\r\n") << "A"
                                << "1" << QByteArray("[Info]\r\nA=x\r\n" + lyrics + "Z=end\r\n");
    QTest::newRow("50-mb-file-key-missing")
        << QByteArray("[Info]\r\nA=1\r\n\r\n" + lyrics) << "Z"
        << "<default>" << QByteArray("[Info]\r\nA=1\r\nZ=x\r\n\r\n" + lyrics);
    const QByteArray line(10 * 1024 * 1024, 'v');
    QTest::newRow("10-mb-value") << QByteArray("[Info]\r\nA=" + line + "\r\nB=2\r\n") << "A"
                                 << QString(2047, u'v') << QByteArrayLiteral("[Info]\r\nA=x\r\nB=2\r\n");
    QTest::newRow("10-mb-line-no-break") << QByteArray("[Info]\r\n" + line) << "A"
                                         << "<default>" << QByteArray("[Info]\r\nA=x\r\n" + line);
    QTest::newRow("10-mb-section-name")
        << QByteArray("[" + line + "]\r\nA=1\r\n") << "A"
        << "<default>" << QByteArray("[" + line + "]\r\nA=1\r\n[Info]\r\nA=x\r\n");
    QTest::newRow("10-mb-of-nul") << QByteArray(10 * 1024 * 1024, '\0') << "A"
                                  << "<default>"
                                  << QByteArray(QByteArray(10 * 1024 * 1024, '\0') + "\r\n[Info]\r\nA=x\r\n");
    QTest::newRow("10-mb-of-cr") << QByteArray(10 * 1024 * 1024, '\r') << "A"
                                 << "<default>"
                                 << QByteArray(QByteArray(10 * 1024 * 1024, '\r') + "[Info]\rA=x\r");
}

void tst_ProfileFile::hugeInput()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, key);
    QFETCH(QString, expectedRead);
    QFETCH(QByteArray, expectedWritten);
    QCOMPARE(ProfileFile::readString(content, u"Info", key, QStringLiteral("<default>")), expectedRead);
    QVERIFY(ProfileFile::writeString(content, u"Info", key, QStringLiteral("x")) == expectedWritten);
}

void tst_ProfileFile::iniReadString_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expected");

    const QByteArray file
        = QByteArrayLiteral("[]\r\n=empty\r\nKey=no section\r\n[MP3]\r\nDirectory = /music \r\n");
    QTest::newRow("present") << file << "mp3"
                             << "directory"
                             << "/music";
    QTest::newRow("missing-key") << file << "MP3"
                                 << "INI_Directory"
                                 << "<default>";
    QTest::newRow("empty-section-name") << file << ""
                                        << "Key"
                                        << "<default>";
    QTest::newRow("empty-key-name") << file << ""
                                    << ""
                                    << "<default>";
    QTest::newRow("missing-file") << QByteArray() << "MP3"
                                  << "Directory"
                                  << "<default>";
}

void tst_ProfileFile::iniReadString()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, expected);
    const QString path = m_dir.filePath(QStringLiteral("read.INI"));
    QFile::remove(path);
    if (!content.isNull())
        writeBytes(path, content);
    QCOMPARE(IniReadString(section, key, QStringLiteral("<default>"), path), expected);
}

void tst_ProfileFile::iniWriteStringCreatesFile()
{
    const QString path = m_dir.filePath(QStringLiteral("new.INI"));
    IniWriteString(
        QStringLiteral("MP3"), QStringLiteral("Directory"), QStringLiteral("/home/me/Müsic"), path);
    IniWriteString(QStringLiteral("MP3"), QStringLiteral("INI_Directory"), QString(), path);
    QCOMPARE(
        readBytes(path), QByteArrayLiteral("[MP3]\r\nDirectory=/home/me/M\xC3\xBCsic\r\nINI_Directory=\r\n"));
    QCOMPARE(IniReadString(QStringLiteral("MP3"), QStringLiteral("Directory"), QString(), path),
        QStringLiteral("/home/me/Müsic"));
}

void tst_ProfileFile::iniWriteStringChangesOneLine()
{
    const QString path = m_dir.filePath(QStringLiteral("settings.INI"));
    writeBytes(path,
        QByteArrayLiteral(
            "; mine\r\n[Coordinates]\r\nTop = 10\r\nLeft = 20\r\n\r\n[MP3]\r\nDirectory=/m\r\n"));
    IniWriteString(QStringLiteral("Coordinates"), QStringLiteral("Left"), QStringLiteral("35"), path);
    QCOMPARE(readBytes(path),
        QByteArrayLiteral(
            "; mine\r\n[Coordinates]\r\nTop = 10\r\nLeft = 35\r\n\r\n[MP3]\r\nDirectory=/m\r\n"));
}

void tst_ProfileFile::iniWriteStringRefused_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("fileMode"); // -1: no file
    QTest::addColumn<QString>("value");

    QTest::newRow("read-only-file") << "ro.INI" << 0444 << "2";
    QTest::newRow("missing-folder") << "missing/x.INI" << -1 << "2";
    QTest::newRow("value-with-line-break") << "nl.INI" << 0644 << "2\r\n[Evil]";
    QTest::newRow("value-ending-in-line-break") << "nl.INI" << 0644 << "2\r\n";
}

void tst_ProfileFile::iniWriteStringRefused()
{
    QFETCH(QString, name);
    QFETCH(int, fileMode);
    QFETCH(QString, value);
    const QString path = m_dir.filePath(name);
    const QByteArray before = QByteArrayLiteral("[Info]\r\nA = 1\r\n");
    if (fileMode >= 0) {
        writeBytes(path, before);
        QCOMPARE(::chmod(QFile::encodeName(path).constData(), mode_t(fileMode)), 0);
    }
    try {
        IniWriteString(QStringLiteral("Info"), QStringLiteral("A"), value, path);
        QFAIL("the write was not refused");
    } catch (const EQLXError &e) {
        QCOMPARE(e.message(), QStringLiteral("Unable to write to ") + path);
    }
    if (fileMode >= 0)
        QCOMPARE(readBytes(path), before);
    else
        QVERIFY(!TestSupport::exists(QFile::encodeName(path)));
}

void tst_ProfileFile::sectionKeysEnd_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<qsizetype>("end");
    QTest::newRow("keys-then-blank") << QByteArrayLiteral("; c\r\n[Info]\r\nA=1\r\nB=2\r\n\r\nC=3\r\n")
                                     << qsizetype(4);
    QTest::newRow("header-only") << QByteArrayLiteral("[Info]") << qsizetype(1);
    QTest::newRow("comment-ends-run") << QByteArrayLiteral("[Info]\n; c\nA=1\n") << qsizetype(1);
    QTest::newRow("next-section-ends-run") << QByteArrayLiteral("[info]\rA=1\r[Info]\rB=2\r") << qsizetype(2);
    QTest::newRow("bom-and-lines-to-the-end")
        << QByteArrayLiteral("\xEF\xBB\xBF[Info]\nA=1\nla = la") << qsizetype(3);
    QTest::newRow("no-section") << QByteArrayLiteral("[Other]\nA=1\n") << qsizetype(-1);
}

void tst_ProfileFile::sectionKeysEnd()
{
    QFETCH(QByteArray, content);
    QFETCH(qsizetype, end);
    QCOMPARE(ProfileFile::sectionKeysEnd(content, u"Info"), end);
    // A key added to the section goes right before that line.
    if (end < 0)
        return;
    const QByteArray written = ProfileFile::writeString(content, u"Info", u"New", QStringLiteral("x"));
    QCOMPARE(ProfileFile::sectionKeysEnd(written, u"Info"), end + 1);
}

QTEST_GUILESS_MAIN(tst_ProfileFile)
#include "tst_ProfileFile.moc"
