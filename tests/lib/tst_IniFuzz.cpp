// A million generated INI files, names and values, run through the reader and
// the single-key writer. Whatever the input, a written value reads back, no
// other value changes, no line of the old file is lost, split or merged, and
// writing the same value twice changes nothing more.

#include "ProfileFile.h"

#include <QRandomGenerator>
#include <QTest>

namespace
{

constexpr int Iterations = 1000000;
constexpr quint32 Seed = 20020131;

const QString Default = QStringLiteral("\x01missing");

// Pieces INI files are made of, near misses and damage included.
const QList<QByteArray> &fragments()
{
    static const QList<QByteArray> list { "[Info]", "[info]", "[ INFO ]", "[Other]", "[Info", "]", "[",
        "[Gr\xC3\xB6\xC3\x9F"
        "e]",
        "[Gr\xF6\xDF"
        "e]",
        "A", "a", "B", "Key", "Lyrics",
        "Gr\xC3\xB6\xC3\x9F"
        "e",
        "=", " = ", "==", " ", "\t", "\r", "\n", "\r\n", "\r\n", "\n", ";", "\"", "x", "1",
        QByteArray("\0", 1), "\xC3\xA9", "\xE9", "\xFF", "\x80", "\xEF\xBB\xBF", "\xF0\x9F\x8E\xB5",
        "A=1\r\n", "[Info]\r\n", "B = 2\n", "; c\r" };
    return list;
}

const QStringList Sections { QStringLiteral("Info"), QStringLiteral("info"), QStringLiteral(" Info "),
    QStringLiteral("Other"), QStringLiteral("Größe") };
const QStringList Keys { QStringLiteral("A"), QStringLiteral("a"), QStringLiteral("B"),
    QStringLiteral(" key "), QStringLiteral("Lyrics"), QStringLiteral("GRÖßE") };
const QStringList ValuePieces { QString(), QStringLiteral("1"), QStringLiteral(" "), QStringLiteral("\t"),
    QStringLiteral("\""), QStringLiteral("x y"), QStringLiteral("é"), QStringLiteral("a=b"),
    QStringLiteral(";c"), QStringLiteral("[s]"), QString(QChar(0)), QStringLiteral("\U0001F3B5") };

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\v' || c == u'\f';
}

// What reading gives back for a stored value, worked out independently:
// blanks around it dropped, one pair of quotes dropped, at most 2047 units,
// never half a surrogate pair.
QString expectedRead(const QString &value)
{
    qsizetype begin = 0;
    qsizetype end = value.size();
    while (begin < end && isBlank(value[begin]))
        ++begin;
    while (end > begin && isBlank(value[end - 1]))
        --end;
    if (end - begin >= 2 && value[begin] == u'"' && value[end - 1] == u'"') {
        ++begin;
        --end;
    }
    QString result = value.mid(begin, end - begin);
    if (result.size() > 2047)
        result.truncate(result[2046].isHighSurrogate() ? 2046 : 2047);
    return result;
}

QString folded(const QString &name)
{
    return name.trimmed().toCaseFolded();
}

struct Line {
    QByteArrayView text;
    QByteArrayView lineBreak;
    bool operator==(const Line &o) const { return text == o.text && lineBreak == o.lineBreak; }
};

QList<Line> splitLines(const QByteArray &content)
{
    QList<Line> lines;
    // A byte-order mark belongs to the file, not to its first line.
    QByteArrayView all(content);
    if (all.startsWith("\xEF\xBB\xBF"))
        all = all.sliced(3);
    qsizetype start = 0;
    for (qsizetype i = 0; i < all.size(); ++i) {
        if (all[i] != '\r' && all[i] != '\n')
            continue;
        const qsizetype breakLength = (all[i] == '\r' && i + 1 < all.size() && all[i + 1] == '\n') ? 2 : 1;
        lines.append({ all.sliced(start, i - start), all.sliced(i, breakLength) });
        i += breakLength - 1;
        start = i + 1;
    }
    if (start < all.size())
        lines.append({ all.sliced(start), QByteArrayView() });
    return lines;
}

// The new file's lines are the old ones with one line's text changed (its
// line end kept), or with one or two lines added in one place; a last line
// that had no line end may have gained one.
QString checkLines(const QByteArray &before, const QByteArray &after)
{
    const QList<Line> oldLines = splitLines(before);
    const QList<Line> newLines = splitLines(after);
    qsizetype prefix = 0;
    while (prefix < oldLines.size() && prefix < newLines.size() && oldLines[prefix] == newLines[prefix])
        ++prefix;
    qsizetype suffix = 0;
    while (suffix < oldLines.size() - prefix && suffix < newLines.size() - prefix
        && oldLines[oldLines.size() - 1 - suffix] == newLines[newLines.size() - 1 - suffix])
        ++suffix;
    const qsizetype removed = oldLines.size() - prefix - suffix;
    const qsizetype added = newLines.size() - prefix - suffix;
    if (removed > 1)
        return QStringLiteral("%1 old lines changed").arg(removed);
    if (added == removed) {
        if (removed == 1 && oldLines[prefix].lineBreak != newLines[prefix].lineBreak)
            return QStringLiteral("line end of the changed line changed");
        return QString();
    }
    if (added - removed < 1 || added - removed > 2)
        return QStringLiteral("%1 lines added").arg(added - removed);
    if (removed == 1) {
        const bool gainedBreak = prefix == oldLines.size() - 1 && oldLines[prefix].lineBreak.isEmpty()
            && oldLines[prefix].text == newLines[prefix].text && !newLines[prefix].lineBreak.isEmpty();
        if (!gainedBreak)
            return QStringLiteral("an old line was changed while adding");
    }
    return QString();
}

QString escaped(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toPercentEncoding(" =[];\"", ""));
}

class Generator
{
public:
    QByteArray content()
    {
        QByteArray bytes;
        const int count = int(m_rng.bounded(32));
        for (int i = 0; i < count; ++i)
            bytes += fragments()[m_rng.bounded(int(fragments().size()))];
        return bytes;
    }
    QString pick(const QStringList &list) { return list[m_rng.bounded(int(list.size()))]; }
    QString value()
    {
        if (m_rng.bounded(2000) == 0) // now and then one around the 2047 limit
            return QString(2040 + int(m_rng.bounded(16)), u'v') + pick(ValuePieces) + pick(ValuePieces);
        QString text;
        const int count = int(m_rng.bounded(5));
        for (int i = 0; i < count; ++i)
            text += pick(ValuePieces);
        return text;
    }

private:
    QRandomGenerator m_rng { Seed };
};

QString checkOne(const QByteArray &content, const QString &section, const QString &key, const QString &value,
    const QString &probeSection, const QString &probeKey)
{
    const QString read = ProfileFile::readString(content, section, key, Default);
    if (read != Default && read.size() > ProfileFile::MaxValueLength)
        return QStringLiteral("value longer than 2047");
    QStringList values;
    ProfileFile::readSection(content, section, { key, probeKey }, values);
    if ((values[0].isNull() ? Default : values[0]) != read)
        return QStringLiteral("readSection and readString disagree");

    const QByteArray written = ProfileFile::writeString(content, section, key, value);
    if (ProfileFile::readString(written, section, key, Default) != expectedRead(value))
        return QStringLiteral("written value does not read back");
    const bool sameKey = folded(section) == folded(probeSection) && folded(key) == folded(probeKey);
    if (!sameKey
        && ProfileFile::readString(written, probeSection, probeKey, Default)
            != ProfileFile::readString(content, probeSection, probeKey, Default))
        return QStringLiteral("another value changed: [%1] %2").arg(probeSection, probeKey);
    const QString lines = checkLines(content, written);
    if (!lines.isEmpty())
        return lines;
    if (ProfileFile::writeString(written, section, key, value) != written)
        return QStringLiteral("writing the same value again changed the file");
    return QString();
}

} // namespace

class tst_IniFuzz : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void generatedInputs();
};

void tst_IniFuzz::generatedInputs()
{
    Generator gen;
    for (int i = 0; i < Iterations; ++i) {
        const QByteArray content = gen.content();
        const QString section = gen.pick(Sections);
        const QString key = gen.pick(Keys);
        const QString value = gen.value();
        const QString probeSection = gen.pick(Sections);
        const QString probeKey = gen.pick(Keys);
        const QString problem = checkOne(content, section, key, value, probeSection, probeKey);
        if (!problem.isEmpty()) {
            const QString report = QStringLiteral("input %1: %2\ncontent: %3\n[%4] %5 = %6")
                                       .arg(i)
                                       .arg(problem, escaped(content), section, key, escaped(value.toUtf8()));
            QFAIL(qPrintable(report));
        }
    }
}

QTEST_GUILESS_MAIN(tst_IniFuzz)
#include "tst_IniFuzz.moc"
