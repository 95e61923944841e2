#include "InfoCache.h"

#include "CacheText.h"

#include <QHashFunctions>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>
#include <utility>

namespace InfoCache
{

namespace
{

const QByteArray HeaderLine = QByteArrayLiteral("Discora information cache 1\n");
constexpr int Fields = 10;

size_t hashOf(QByteArrayView escapedName)
{
    return qHash(escapedName, 0);
}

void appendNumber(QByteArray &out, quint64 n, bool negative = false)
{
    char digits[24];
    char *const end = digits + sizeof digits;
    char *p = end;
    do
        *--p = char('0' + n % 10);
    while (n /= 10);
    if (negative)
        *--p = '-';
    out.append(p, end - p);
    out += '\t';
}

void appendSigned(QByteArray &out, qint64 n)
{
    appendNumber(out, n < 0 ? 0 - quint64(n) : quint64(n), n < 0);
}

void appendText(QByteArray &out, const QString &value, char after)
{
    // The values are a few characters, nearly always plain ASCII.
    const bool plain = std::all_of(value.begin(), value.end(),
        [](QChar c) { return c.unicode() >= 0x20 && c.unicode() < 0x7f && c != QLatin1Char('\\'); });
    if (plain) {
        for (const QChar c : value)
            out += char(c.unicode());
    } else {
        CacheText::Escape(value.toUtf8(), out);
    }
    out += after;
}

} // namespace

Stamp StampOf(const struct stat &st)
{
    return { quint64(st.st_dev), quint64(st.st_ino), qint64(st.st_size),
        qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec,
        qint64(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec };
}

qint64 NowNs()
{
    timespec ts;
    ::clock_gettime(CLOCK_REALTIME, &ts);
    return qint64(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

Cache::Cache(QByteArray bytes)
    : m_bytes(std::move(bytes))
{
    parse();
}

Cache Cache::Read(const QByteArray &path)
{
    Cache cache;
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return cache;
    struct stat st;
    // Read into memory whose pages are all there at once: a large cache
    // would otherwise take a page fault a page, which costs more than the
    // read. (Not the file mapped itself: a file cut short under a mapping
    // kills the reader.)
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0 && st.st_size < qint64(UINT32_MAX)) {
        const size_t size = size_t(st.st_size);
        void *at = ::mmap(
            nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
        if (at != MAP_FAILED) {
            cache.m_mapped = at;
            cache.m_mappedSize = size;
            size_t done = 0;
            while (done < size) {
                const ssize_t n = ::read(fd, static_cast<char *>(at) + done, size - done);
                if (n < 0 && errno == EINTR)
                    continue;
                if (n <= 0)
                    break;
                done += size_t(n);
            }
            // A file that shrank meanwhile gives what it still held; its
            // last line, if cut short, is left out.
            cache.m_bytes = QByteArray::fromRawData(static_cast<const char *>(at), qsizetype(done));
        }
    }
    ::close(fd);
    cache.parse();
    return cache;
}

Cache::Cache(Cache &&other) noexcept
    : m_bytes(std::exchange(other.m_bytes, QByteArray()))
    , m_entries(std::move(other.m_entries))
    , m_mapped(std::exchange(other.m_mapped, nullptr))
    , m_mappedSize(std::exchange(other.m_mappedSize, 0))
{
}

Cache &Cache::operator=(Cache &&other) noexcept
{
    if (this != &other) {
        unmap();
        m_bytes = std::exchange(other.m_bytes, QByteArray());
        m_entries = std::move(other.m_entries);
        m_mapped = std::exchange(other.m_mapped, nullptr);
        m_mappedSize = std::exchange(other.m_mappedSize, 0);
    }
    return *this;
}

Cache::~Cache()
{
    unmap();
}

void Cache::unmap()
{
    m_bytes = QByteArray();
    m_entries.clear();
    if (m_mapped)
        ::munmap(m_mapped, m_mappedSize);
    m_mapped = nullptr;
    m_mappedSize = 0;
}

void Cache::parse()
{
    if (!m_bytes.startsWith(HeaderLine) || m_bytes.size() > qsizetype(UINT32_MAX)) {
        m_bytes.clear();
        return;
    }
    const QByteArrayView all(m_bytes);
    for (qsizetype start = HeaderLine.size(); start < all.size();) {
        const qsizetype end = CacheText::Find(all, '\n', start);
        if (end < 0)
            break; // a line cut short
        const qsizetype tab = CacheText::Find(all.first(end), '\t', start);
        if (tab > start)
            m_entries.push_back(
                { hashOf(all.sliced(start, tab - start)), quint32(start), quint32(tab - start) });
        start = end + 1;
    }
    std::sort(
        m_entries.begin(), m_entries.end(), [](const Entry &a, const Entry &b) { return a.hash < b.hash; });
}

qsizetype Cache::find(QByteArrayView name, qsizetype before) const
{
    if (m_entries.empty() || name.isEmpty())
        return -1;
    QByteArray escaped;
    if (CacheText::NeedsEscape(name)) {
        CacheText::Escape(name, escaped);
        name = escaped;
    } else if (before >= 0) {
        const QByteArrayView all(m_bytes);
        const qsizetype next = lineEnd(before);
        if (next > before && all.size() - next > name.size() && all[next + name.size()] == '\t'
            && all.sliced(next, name.size()) == name)
            return next;
    }
    const size_t hash = hashOf(name);
    auto e = std::lower_bound(m_entries.begin(), m_entries.end(), hash,
        [](const Entry &entry, size_t h) { return entry.hash < h; });
    for (; e != m_entries.end() && e->hash == hash; ++e)
        if (QByteArrayView(m_bytes).sliced(e->line, e->nameLength) == name)
            return e->line;
    return -1;
}

bool Cache::valuesOf(qsizetype line, const Stamp &stamp, SongInfo::GridValues &values) const
{
    const QByteArrayView all(m_bytes);
    const qsizetype end = CacheText::Find(all, '\n', line);
    QByteArrayView field[Fields];
    if (line < 0 || end < 0 || !CacheText::SplitFields(all.sliced(line, end - line), field, Fields))
        return false;
    Stamp kept;
    if (!CacheText::ReadNumber(field[1], kept.dev) || !CacheText::ReadNumber(field[2], kept.ino)
        || !CacheText::ReadNumber(field[3], kept.size) || !CacheText::ReadNumber(field[4], kept.modified)
        || !CacheText::ReadNumber(field[5], kept.changed) || !(kept == stamp))
        return false;
    QByteArray scratch;
    QString mark;
    SongInfo::GridValues read;
    using CacheText::ReadText;
    if (!ReadText(field[6], read.playTime, scratch) || !ReadText(field[7], mark, scratch) || mark.size() != 1
        || !ReadText(field[8], read.songYear, scratch) || !ReadText(field[9], read.usageCount, scratch))
        return false;
    read.lyricsMark = mark[0];
    values = std::move(read);
    return true;
}

QByteArray Header()
{
    return HeaderLine;
}

qsizetype Cache::lineEnd(qsizetype line) const
{
    const qsizetype end = line < 0 ? -1 : CacheText::Find(m_bytes, '\n', line);
    return end < 0 ? line : end + 1;
}

void Lines::keep(qsizetype line, qsizetype end)
{
    if (!m_segments.empty() && m_segments.back().from >= 0 && m_segments.back().to == line)
        m_segments.back().to = end;
    else
        m_segments.push_back({ line, end, QByteArray() });
}

void Lines::append(Lines &&other)
{
    for (Segment &segment : other.m_segments) {
        if (segment.from >= 0)
            keep(segment.from, segment.to);
        else
            m_segments.push_back(std::move(segment));
    }
    other.m_segments.clear();
}

bool Lines::sameAs(const Cache &cache) const
{
    if (cache.bytes().isEmpty())
        return false;
    if (m_segments.empty())
        return cache.bytes().size() == HeaderLine.size();
    return m_segments.size() == 1 && m_segments.front().from == HeaderLine.size()
        && m_segments.front().to == cache.bytes().size();
}

QByteArray Lines::text(const Cache &cache) const
{
    qsizetype size = HeaderLine.size();
    for (const Segment &segment : m_segments)
        size += segment.from >= 0 ? segment.to - segment.from : segment.added.size();
    QByteArray text;
    text.reserve(size);
    text += HeaderLine;
    for (const Segment &segment : m_segments) {
        if (segment.from >= 0)
            text += QByteArrayView(cache.bytes()).sliced(segment.from, segment.to - segment.from);
        else
            text += segment.added;
    }
    return text;
}

void Lines::add(
    QByteArrayView name, const Stamp &stamp, const SongInfo::GridValues &values, qint64 keptBeforeNs)
{
    if (name.isEmpty() || stamp.size < 0 || stamp.changed > keptBeforeNs)
        return;
    if (m_segments.empty() || m_segments.back().from >= 0) {
        m_segments.emplace_back();
        m_segments.back().added.reserve(4096);
    }
    QByteArray &text = m_segments.back().added;
    if (CacheText::NeedsEscape(name))
        CacheText::Escape(name, text);
    else
        text += name;
    text += '\t';
    appendNumber(text, stamp.dev);
    appendNumber(text, stamp.ino);
    appendSigned(text, stamp.size);
    appendSigned(text, stamp.modified);
    appendSigned(text, stamp.changed);
    appendText(text, values.playTime, '\t');
    appendText(text, QString(values.lyricsMark), '\t');
    appendText(text, values.songYear, '\t');
    appendText(text, values.usageCount, '\n');
}

} // namespace InfoCache
