#include "ProfileFile.h"

#include "CaseFold.h"
#include "QLXError.h"
#include "TextCodec.h"
#include "TextLines.h"

#include <cstring>
#include <utility>
#include <vector>

namespace
{

// A value of 2047 characters never takes more bytes than this in UTF-8, so
// the rest of a huge line is never decoded.
constexpr qsizetype MaxValueBytes = 4 * (ProfileFile::MaxValueLength + 1);

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\v' || c == '\f';
}

bool isBlank(QChar c)
{
    return c.unicode() < 0x80 && isBlank(char(c.unicode()));
}

bool isLineBreak(char c)
{
    return c == '\r' || c == '\n';
}

QStringView trimmedView(QStringView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    return text.sliced(begin, end - begin);
}

struct Range {
    qsizetype begin = 0;
    qsizetype end = 0;
    qsizetype size() const { return end - begin; }
};

Range trimmed(const char *d, Range r)
{
    while (r.begin < r.end && isBlank(d[r.begin]))
        ++r.begin;
    while (r.end > r.begin && isBlank(d[r.end - 1]))
        --r.end;
    return r;
}

enum class LineKind { Blank, Section, Comment, Key, Other };

struct Line {
    qsizetype end = 0; // end of the text, where the line break starts
    qsizetype next = 0; // first byte of the following line
    LineKind kind = LineKind::Blank;
    Range name; // section or key name, blanks dropped
    qsizetype valueStart = 0; // key lines: after "=" and the blanks behind it
    Range value; // key lines: the value, blanks dropped
    bool hasBreak() const { return next > end; }
};

// Walks the lines of an INI file's bytes once, classifying each.
class LineReader
{
public:
    explicit LineReader(const QByteArray &content)
        : m_data(content.constData())
        , m_size(content.size())
    {
        if (content.startsWith("\xEF\xBB\xBF"))
            m_pos = 3;
    }
    const char *data() const { return m_data; }

    bool next(Line &line)
    {
        if (m_pos >= m_size)
            return false;
        const qsizetype begin = m_pos;
        line.end = LineEnd(QByteArrayView(m_data, m_size), begin, line.next);
        m_pos = line.next;
        classify(begin, line);
        return true;
    }

private:
    const char *find(char c, qsizetype from, qsizetype to) const
    {
        return static_cast<const char *>(std::memchr(m_data + from, c, size_t(to - from)));
    }

    void classify(qsizetype begin, Line &line) const
    {
        const Range text = trimmed(m_data, { begin, line.end });
        line.kind = LineKind::Blank;
        if (text.size() == 0)
            return;
        if (m_data[text.begin] == ';') {
            line.kind = LineKind::Comment;
            return;
        }
        if (m_data[text.begin] == '[') {
            if (const char *close = find(']', text.begin + 1, text.end)) {
                line.kind = LineKind::Section;
                line.name = trimmed(m_data, { text.begin + 1, close - m_data });
                return;
            }
        }
        const char *equals = find('=', text.begin, text.end);
        if (!equals) {
            line.kind = LineKind::Other;
            return;
        }
        const qsizetype eq = equals - m_data;
        line.kind = LineKind::Key;
        line.name = trimmed(m_data, { text.begin, eq });
        line.value = trimmed(m_data, { eq + 1, text.end });
        // The blanks behind "=" belong to the key's side of the line, even
        // when no value follows them.
        line.valueStart = trimmed(m_data, { eq + 1, line.end }).begin;
    }

    const char *m_data;
    qsizetype m_size;
    qsizetype m_pos = 0;
};

// A section or key name, compared the way the profile service does: letter
// case ignored, blanks around it dropped. ASCII names (all of the program's
// own) compare on the raw bytes without decoding anything.
class NameMatcher
{
public:
    explicit NameMatcher(QStringView name)
        : m_name(trimmedView(name).toString())
    {
        m_ascii = IsAscii(m_name);
        if (m_ascii)
            m_bytes = m_name.toLatin1().toLower();
    }

    bool matches(const char *d, Range r) const
    {
        if (m_ascii)
            return r.size() == m_bytes.size()
                && SameIgnoringCase(m_bytes, QByteArrayView(d + r.begin, r.size()));
        // No UTF-8 or Windows-1252 text takes more than 3 bytes per UTF-16 unit.
        if (r.size() > 3 * m_name.size() || r.size() == 0)
            return false;
        const QString candidate = DecodeText(QByteArray::fromRawData(d + r.begin, r.size()));
        return QString::compare(candidate, m_name, Qt::CaseInsensitive) == 0;
    }

private:
    QString m_name;
    QByteArray m_bytes;
    bool m_ascii = true;
};

QString cutValue(QString text)
{
    if (text.size() <= ProfileFile::MaxValueLength)
        return text;
    qsizetype length = ProfileFile::MaxValueLength;
    if (text[length - 1].isHighSurrogate())
        --length;
    text.truncate(length);
    return text;
}

Range unquoted(const char *d, Range r)
{
    if (r.size() >= 2 && d[r.begin] == '"' && d[r.end - 1] == '"') {
        ++r.begin;
        --r.end;
    }
    return r;
}

QString valueText(const char *d, Range r)
{
    r = unquoted(d, r);
    qsizetype take = r.size();
    if (take > MaxValueBytes) {
        take = MaxValueBytes;
        // Never cut inside a UTF-8 sequence: that would make valid text look
        // like Windows-1252.
        for (int i = 0; i < 3 && (static_cast<unsigned char>(d[r.begin + take]) & 0xC0) == 0x80; ++i)
            --take;
    }
    return cutValue(DecodeText(QByteArray::fromRawData(d + r.begin, take)));
}

// Where one key of one section lies, or where it would go.
struct KeyLocation {
    bool sectionFound = false;
    bool keyFound = false;
    qsizetype valueStart = 0; // key found: the value runs from here ...
    qsizetype lineEnd = 0; // ... to the line end
    Line insertAfter; // key missing: the line a new key line follows
};

KeyLocation locateKey(const QByteArray &content, QStringView section, QStringView key)
{
    const NameMatcher sectionName(section);
    const NameMatcher keyName(key);
    LineReader reader(content);
    KeyLocation where;
    bool inRun = false;
    Line line;
    while (reader.next(line)) {
        if (line.kind == LineKind::Section) {
            if (where.sectionFound)
                break;
            where.sectionFound = inRun = sectionName.matches(reader.data(), line.name);
            if (where.sectionFound)
                where.insertAfter = line;
            continue;
        }
        if (!where.sectionFound)
            continue;
        if (line.kind == LineKind::Key && keyName.matches(reader.data(), line.name)) {
            where.keyFound = true;
            where.valueStart = line.valueStart;
            where.lineEnd = line.end;
            return where;
        }
        inRun = inRun && line.kind == LineKind::Key;
        if (inRun)
            where.insertAfter = line;
    }
    return where;
}

QByteArray lineBreakOf(const QByteArray &content)
{
    const char *d = content.constData();
    for (qsizetype i = 0; i < content.size(); ++i) {
        if (d[i] == '\n')
            return QByteArrayLiteral("\n");
        if (d[i] == '\r')
            return (i + 1 < content.size() && d[i + 1] == '\n') ? QByteArrayLiteral("\r\n")
                                                                : QByteArrayLiteral("\r");
    }
    return QByteArrayLiteral("\r\n");
}

bool endsOpenLine(const QByteArray &content)
{
    const qsizetype textStart = content.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    return content.size() > textStart && !isLineBreak(content.back());
}

void refuseUnstorable(QStringView section, QStringView key, QByteArrayView value)
{
    auto hasBreak = [](QStringView s) { return s.contains(u'\r') || s.contains(u'\n'); };
    const bool badSection = section.isEmpty() || hasBreak(section) || section.contains(u']');
    const bool badKey = key.isEmpty() || hasBreak(key) || key.contains(u'=') || key.startsWith(u';')
        || key.startsWith(u'[');
    if (badSection || badKey || value.contains('\r') || value.contains('\n'))
        throw EQLXError(QStringLiteral("Key '%1' of section '%2' cannot be stored in an INI file")
                            .arg(key.toString(), section.toString()));
}

} // namespace

QString ProfileFile::readString(
    const QByteArray &content, QStringView section, QStringView key, const QString &defaultValue)
{
    QStringList values;
    readSection(content, section, QStringList { key.toString() }, values);
    return values.first().isNull() ? defaultValue : values.first();
}

struct ProfileFile::SectionReader::Names {
    NameMatcher section;
    std::vector<NameMatcher> keys;
};

ProfileFile::SectionReader::SectionReader(QStringView section, const QStringList &keys)
{
    auto names = std::make_unique<Names>(Names { NameMatcher(section), {} });
    names->keys.reserve(size_t(keys.size()));
    for (const QString &key : keys)
        names->keys.emplace_back(key);
    m_names = std::move(names);
}

ProfileFile::SectionReader::~SectionReader() = default;

void ProfileFile::SectionReader::read(const QByteArray &content, QStringList &values) const
{
    const auto count = qsizetype(m_names->keys.size());
    if (values.size() == count) {
        for (QString &value : values)
            value = QString();
    } else {
        values = QStringList(count);
    }
    LineReader reader(content);
    bool inSection = false;
    qsizetype missing = count;
    Line line;
    while (missing > 0 && reader.next(line)) {
        if (line.kind == LineKind::Section) {
            if (inSection)
                return;
            inSection = m_names->section.matches(reader.data(), line.name);
            continue;
        }
        if (!inSection || line.kind != LineKind::Key)
            continue;
        for (qsizetype i = 0; i < count; ++i) {
            if (values[i].isNull() && m_names->keys[size_t(i)].matches(reader.data(), line.name)) {
                values[i] = valueText(reader.data(), line.value);
                if (values[i].isNull()) // an empty value is "", never "missing"
                    values[i] = QStringLiteral("");
                --missing;
            }
        }
    }
}

void ProfileFile::readSection(
    const QByteArray &content, QStringView section, const QStringList &keys, QStringList &values)
{
    SectionReader(section, keys).read(content, values);
}

qsizetype ProfileFile::sectionLine(const QByteArray &content, QStringView section)
{
    const NameMatcher sectionName(section);
    LineReader reader(content);
    Line line;
    for (qsizetype number = 0; reader.next(line); ++number) {
        if (line.kind == LineKind::Section && sectionName.matches(reader.data(), line.name))
            return number;
    }
    return -1;
}

qsizetype ProfileFile::sectionKeysEnd(const QByteArray &content, QStringView section)
{
    const NameMatcher sectionName(section);
    LineReader reader(content);
    Line line;
    qsizetype end = -1;
    for (qsizetype number = 0; reader.next(line); ++number) {
        if (end < 0) {
            if (line.kind == LineKind::Section && sectionName.matches(reader.data(), line.name))
                end = number + 1;
            continue;
        }
        if (line.kind != LineKind::Key)
            break;
        end = number + 1;
    }
    return end;
}

QByteArray ProfileFile::writeString(
    const QByteArray &content, QStringView section, QStringView key, const QString &value)
{
    return writeBytes(content, section, key, EncodeText(trimmedView(value).toString()));
}

QByteArray ProfileFile::readBytes(const QByteArray &content, QStringView section, QStringView key)
{
    const KeyLocation where = locateKey(content, trimmedView(section), trimmedView(key));
    if (!where.keyFound)
        return QByteArray();
    const char *d = content.constData();
    const Range value = unquoted(d, trimmed(d, { where.valueStart, where.lineEnd }));
    return QByteArray(d + value.begin, value.size()); // an empty value is "", not null
}

QByteArray ProfileFile::writeBytes(
    const QByteArray &content, QStringView section, QStringView key, const QByteArray &value)
{
    const QStringView sectionName = trimmedView(section);
    const QStringView keyName = trimmedView(key);
    // Only the blanks reading drops: a line break at either end is refused
    // below like one inside, not dropped.
    const Range kept = trimmed(value.constData(), { 0, value.size() });
    const QByteArray valueBytes = value.sliced(kept.begin, kept.size());
    refuseUnstorable(sectionName, keyName, valueBytes);
    const KeyLocation where = locateKey(content, sectionName, keyName);
    if (where.keyFound)
        return content.left(where.valueStart) + valueBytes + content.mid(where.lineEnd);

    const QByteArray keyText = EncodeText(keyName.toString()) + '=' + valueBytes;
    if (where.sectionFound) {
        // The new line ends like the line it follows: a lone CR before a
        // following empty LF line would otherwise merge with it into CR LF.
        const Line &before = where.insertAfter;
        if (before.hasBreak()) {
            const QByteArray lineBreak = content.mid(before.end, before.next - before.end);
            return content.left(before.next) + keyText + lineBreak + content.mid(before.next);
        }
        const QByteArray lineBreak = lineBreakOf(content);
        return content + lineBreak + keyText + lineBreak;
    }
    const QByteArray lineBreak = lineBreakOf(content);
    QByteArray result = content;
    if (endsOpenLine(content))
        result += lineBreak;
    return result + '[' + EncodeText(sectionName.toString()) + ']' + lineBreak + keyText + lineBreak;
}
