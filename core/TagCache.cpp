#include "TagCache.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <type_traits>

namespace TagCache
{

namespace
{

const QByteArray Header = QByteArrayLiteral("Discora tag cache 1");
constexpr int Fields = 13;

void escape(QByteArrayView text, QByteArray &out)
{
    for (const char c : text) {
        switch (c) {
        case '\t':
            out += "\\t";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\\':
            out += "\\\\";
            break;
        default:
            out += c;
        }
    }
}

bool unescape(QByteArrayView field, QByteArray &out)
{
    out.clear();
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] != '\\') {
            out += field[i];
            continue;
        }
        if (++i == field.size())
            return false;
        switch (field[i]) {
        case 't':
            out += '\t';
            break;
        case 'n':
            out += '\n';
            break;
        case 'r':
            out += '\r';
            break;
        case '\\':
            out += '\\';
            break;
        default:
            return false;
        }
    }
    return true;
}

// A plain decimal number ("123", "-4"), as the cache writes them, without a
// detour through Qt's general conversion: a large cache holds nine a song.
// Where c first is in text at from or after, -1 when it is not: a field
// boundary is looked for a dozen times a line.
qsizetype find(QByteArrayView text, char c, qsizetype from = 0)
{
    if (from >= text.size())
        return -1;
    const void *at = std::memchr(text.data() + from, c, size_t(text.size() - from));
    return at ? static_cast<const char *>(at) - text.data() : -1;
}

template <typename Number> bool plainNumber(QByteArrayView field, Number &value)
{
    const bool negative = !field.isEmpty() && field.front() == '-';
    if (negative && !std::is_signed_v<Number>)
        return false;
    const qsizetype first = negative ? 1 : 0;
    // Up to 19 digits cannot overflow 64 bits; longer ones are left to Qt.
    if (field.size() == first || field.size() - first > (sizeof(Number) == 8 ? 19 : 9))
        return false;
    quint64 n = 0;
    for (qsizetype i = first; i < field.size(); ++i) {
        const char c = field[i];
        if (c < '0' || c > '9')
            return false;
        n = n * 10 + quint64(c - '0');
    }
    if (n > quint64(std::numeric_limits<Number>::max()) + (negative ? 1 : 0))
        return false;
    value = negative ? Number(0 - n) : Number(n);
    return true;
}

template <typename Number> bool number(QByteArrayView field, Number &value)
{
    if (plainNumber(field, value))
        return true;
    bool ok = false;
    if constexpr (std::is_same_v<Number, quint64>)
        value = field.toULongLong(&ok);
    else if constexpr (std::is_same_v<Number, qint64>)
        value = field.toLongLong(&ok);
    else
        value = field.toInt(&ok);
    return ok;
}

// The artist and album of the line before: songs of one album follow each
// other in the cache, and share their texts rather than each holding a
// copy (less to make, to keep and to compare when the rows are sorted).
struct Previous {
    QByteArrayView field[2];
    QString text[2];
};

bool parseLine(QByteArrayView line, QByteArray &path, Entry &entry, Previous &previous)
{
    QByteArrayView field[Fields];
    int n = 0;
    for (qsizetype start = 0;; ++n) {
        const qsizetype tab = find(line, '\t', start);
        if (n == Fields - 1) {
            if (tab >= 0)
                return false;
            field[n] = line.sliced(start);
            break;
        }
        if (tab < 0)
            return false;
        field[n] = line.sliced(start, tab - start);
        start = tab + 1;
    }
    Key &k = entry.key;
    TTreeSong &s = entry.song;
    QByteArray text;
    if (!number(field[0], k.dev) || !number(field[1], k.ino) || !number(field[2], k.size)
        || !number(field[3], k.modified) || !number(field[4], s.lengthMs) || !number(field[5], s.year)
        || !number(field[6], s.albumYear) || !number(field[7], s.disc) || !number(field[8], s.track))
        return false;
    // Most fields hold nothing escaped: taken as they are.
    QString *texts[] = { &s.artist, &s.title, &s.album };
    for (int t = 0; t < 3; ++t) {
        const int shared = t == 0 ? 0 : t == 2 ? 1 : -1;
        if (shared >= 0 && field[9 + t] == previous.field[shared] && previous.field[shared].data()) {
            *texts[t] = previous.text[shared];
        } else if (find(field[9 + t], '\\') < 0) {
            *texts[t] = QString::fromUtf8(field[9 + t]);
        } else {
            if (!unescape(field[9 + t], text))
                return false;
            *texts[t] = QString::fromUtf8(text);
        }
        if (shared >= 0) {
            previous.field[shared] = field[9 + t];
            previous.text[shared] = *texts[t];
        }
    }
    if (find(field[12], '\\') < 0)
        path = field[12].toByteArray();
    else if (!unescape(field[12], path))
        return false;
    return !path.isEmpty();
}

} // namespace

Entries Parse(const QByteArray &bytes)
{
    Entries entries;
    qsizetype end = bytes.indexOf('\n');
    if (end < 0 || QByteArrayView(bytes).first(end) != Header)
        return entries;
    // A line a song: room for them all at once.
    entries.reserve(qsizetype(std::count(bytes.begin() + end + 1, bytes.end(), '\n')));
    QByteArray path;
    Previous previous;
    for (qsizetype start = end + 1; start < bytes.size(); start = end + 1) {
        end = find(bytes, '\n', start);
        if (end < 0)
            break; // a line cut short
        Entry entry;
        if (parseLine(QByteArrayView(bytes).sliced(start, end - start), path, entry, previous))
            entries[path] = std::move(entry);
    }
    return entries;
}

QByteArray Compose(const std::vector<QByteArray> &paths, const std::vector<Entry> &entries)
{
    QByteArray out = Header + '\n';
    for (size_t i = 0; i < paths.size() && i < entries.size(); ++i) {
        const Key &k = entries[i].key;
        const TTreeSong &s = entries[i].song;
        out += QByteArray::number(k.dev) + '\t' + QByteArray::number(k.ino) + '\t'
            + QByteArray::number(k.size) + '\t' + QByteArray::number(k.modified) + '\t'
            + QByteArray::number(s.lengthMs) + '\t' + QByteArray::number(s.year) + '\t'
            + QByteArray::number(s.albumYear) + '\t' + QByteArray::number(s.disc) + '\t'
            + QByteArray::number(s.track) + '\t';
        for (const QString *text : { &s.artist, &s.title, &s.album }) {
            escape(text->toUtf8(), out);
            out += '\t';
        }
        escape(paths[i], out);
        out += '\n';
    }
    return out;
}

} // namespace TagCache
