#include "TextLines.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

bool isBreak(char c)
{
    return c == '\r' || c == '\n';
}

// A cut at pos that does not split a UTF-8 sequence.
qsizetype utf8Boundary(const QByteArray &bytes, qsizetype pos)
{
    while (pos > 0 && pos < bytes.size() && (static_cast<unsigned char>(bytes[pos]) & 0xC0) == 0x80)
        --pos;
    return pos;
}

} // namespace

QStringList SplitTextLines(QStringView text)
{
    QStringList lines;
    const qsizetype n = text.size();
    qsizetype pos = 0;
    while (pos < n) {
        qsizetype i = pos;
        while (i < n && text[i] != u'\r' && text[i] != u'\n')
            ++i;
        lines.append(text.mid(pos, i - pos).toString());
        if (i < n && text[i] == u'\r' && i + 1 < n && text[i + 1] == u'\n')
            ++i;
        pos = i + 1;
    }
    return lines;
}

qsizetype LineEnd(QByteArrayView bytes, qsizetype pos, qsizetype &next)
{
    const qsizetype n = bytes.size();
    qsizetype i = pos;
    while (i < n && !isBreak(bytes[i]))
        ++i;
    next = i;
    if (next < n) {
        ++next;
        if (bytes[i] == '\r' && next < n && bytes[next] == '\n')
            ++next;
    }
    return i;
}

qsizetype CountLines(QByteArrayView bytes)
{
    qsizetype count = 0;
    qsizetype pos = 0;
    while (pos < bytes.size()) {
        LineEnd(bytes, pos, pos);
        ++count;
    }
    return count;
}

QByteArray LastLines(QByteArrayView bytes, qsizetype Keep)
{
    qsizetype skip = qMax<qsizetype>(0, CountLines(bytes) - Keep);
    qsizetype pos = 0;
    while (skip-- > 0)
        LineEnd(bytes, pos, pos);
    QByteArray kept;
    kept.reserve(bytes.size() - pos + Keep);
    while (pos < bytes.size()) {
        const qsizetype start = pos;
        const qsizetype end = LineEnd(bytes, start, pos);
        kept.append(bytes.sliced(start, end - start));
        kept.append("\r\n", 2);
    }
    return kept;
}

QByteArray TakeLines(const QByteArray &bytes, qsizetype MaxBytes, bool FromEnd, bool &Complete)
{
    Complete = bytes.size() <= MaxBytes;
    if (Complete)
        return bytes;
    if (!FromEnd) {
        // Up to and including the last line break within the limit.
        qsizetype cut = MaxBytes;
        while (cut > 0 && !isBreak(bytes[cut - 1]))
            --cut;
        if (cut == 0)
            cut = utf8Boundary(bytes, MaxBytes);
        return bytes.left(cut);
    }
    // From the first line start within the last MaxBytes bytes.
    qsizetype start = bytes.size() - MaxBytes;
    while (start < bytes.size() && !isBreak(bytes[start - 1]))
        ++start;
    if (start < bytes.size() && bytes[start - 1] == '\r' && bytes[start] == '\n')
        ++start;
    if (start >= bytes.size()) {
        start = bytes.size() - MaxBytes;
        while (start < bytes.size() && (static_cast<unsigned char>(bytes[start]) & 0xC0) == 0x80)
            ++start;
    }
    return bytes.mid(start);
}

bool ReadHeadOfFile(const QString &FileName, qsizetype MaxBytes, QByteArray &bytes, bool &Complete)
{
    bytes.clear();
    Complete = true;
    const QByteArray path = QFile::encodeName(FileName);
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return false;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return false;
    }
    // One byte more than the limit tells whether the file goes on.
    QByteArray head(qMin<qint64>(st.st_size, MaxBytes) + 1, Qt::Uninitialized);
    qsizetype got = 0;
    bool ok = true;
    while (got < head.size()) {
        const ssize_t n = ::read(fd, head.data() + got, size_t(head.size() - got));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            ok = false;
            break;
        }
        if (n == 0)
            break;
        got += n;
    }
    ::close(fd);
    if (!ok)
        return false;
    head.truncate(got);
    bytes = TakeLines(head, MaxBytes, false, Complete);
    return true;
}
