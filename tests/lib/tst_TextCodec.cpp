// Text of files on disk: UTF-8 when the bytes are valid UTF-8, else
// Windows-1252 (files from the Windows program); written as UTF-8, no BOM.

#include "TextCodec.h"

#include <QTest>

class tst_TextCodec : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void decode_data();
    void decode();
    void encodeWritesNoBom();
};

void tst_TextCodec::decode_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("expected");

    QTest::newRow("empty") << QByteArray() << QString();
    QTest::newRow("ascii") << QByteArrayLiteral("Artist-Title") << QStringLiteral("Artist-Title");
    QTest::newRow("utf8") << QByteArrayLiteral("Caf\xC3\xA9 \xE2\x82\xAC") << QStringLiteral("Café €");
    QTest::newRow("utf8-4-byte") << QByteArrayLiteral("\xF0\x9F\x8E\xB5") << QStringLiteral("\U0001F3B5");
    // A value may begin with U+FEFF; only a file's own start has a byte-order mark.
    QTest::newRow("utf8-leading-feff-kept")
        << QByteArrayLiteral("\xEF\xBB\xBFx\xC3\xA9") << QStringLiteral("\uFEFFxé");
    QTest::newRow("cp1252") << QByteArrayLiteral("Caf\xE9 \x80 \x93q\x94") << QStringLiteral("Café € “q”");
    QTest::newRow("cp1252-after-valid-utf8")
        << QByteArrayLiteral("\xC3\xA9 and \xE9") << QStringLiteral("Ã© and é");
    QTest::newRow("utf8-cut-at-end") << QByteArrayLiteral("abc\xC3") << QStringLiteral("abcÃ");
    QTest::newRow("utf8-overlong") << QByteArrayLiteral("\xC0\xAF") << QStringLiteral("À¯");
    QTest::newRow("utf8-surrogate-encoded")
        << QByteArrayLiteral("\xED\xA0\x80") << QStringLiteral("í\u00A0€");
    QTest::newRow("cp1252-unassigned-byte") << QByteArrayLiteral("a\x81z") << QStringLiteral("a\u0081z");
    // Each line decides on its own: one stray Windows-1252 byte garbles no
    // UTF-8 line of the same file, and the line breaks stay as they were.
    QTest::newRow("utf8-line-and-cp1252-line")
        << QByteArrayLiteral("D\xC3\xA9j\xC3\xA0 vu\r\ncaf\xE9\r\n") << QStringLiteral("Déjà vu\r\ncafé\r\n");
    QTest::newRow("cp1252-line-between-utf8-lf-and-cr")
        << QByteArrayLiteral("\xE2\x82\xAC\n\x80\r\r\n\xC3\xA9") << QStringLiteral("€\n€\r\r\né");
    QTest::newRow("cp1252-lines") << QByteArrayLiteral("Caf\xE9\r\n\r\nM\xFCller \x93x\x94")
                                  << QStringLiteral("Café\r\n\r\nMüller “x”");
    QTest::newRow("nul-bytes") << QByteArrayLiteral("a\0b") << QString::fromLatin1("a\0b", 3);
}

void tst_TextCodec::decode()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, expected);
    QCOMPARE(DecodeText(bytes), expected);
}

void tst_TextCodec::encodeWritesNoBom()
{
    QCOMPARE(EncodeText(QStringLiteral("é€")), QByteArrayLiteral("\xC3\xA9\xE2\x82\xAC"));
}

QTEST_GUILESS_MAIN(tst_TextCodec)
#include "tst_TextCodec.moc"
