#include "TestSupport.h"

#include <QFile>
#include <QTest>

#include <fcntl.h>
#include <ftw.h>
#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace TestSupport
{

void writeBytes(const QByteArray &path, const QByteArray &bytes)
{
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    QVERIFY2(fd >= 0, path.constData());
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n <= 0)
            break;
        done += n;
    }
    ::close(fd);
    QCOMPARE(done, bytes.size());
}

void writeBytes(const QString &path, const QByteArray &bytes)
{
    writeBytes(QFile::encodeName(path), bytes);
}

QByteArray readBytes(const QByteArray &path)
{
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return QByteArray();
    QByteArray out("");
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n <= 0)
            break;
        out.append(buf, n);
    }
    ::close(fd);
    return out;
}

QByteArray readBytes(const QString &path)
{
    return readBytes(QFile::encodeName(path));
}

void removeTree(const QByteArray &path)
{
    ::chmod(path.constData(), 0755);
    ::nftw(
        path.constData(),
        [](const char *p, const struct stat *, int type, struct FTW *) {
            if (type == FTW_DP)
                return ::rmdir(p) == 0 ? 0 : 0;
            ::unlink(p);
            return 0;
        },
        16, FTW_DEPTH | FTW_PHYS);
}

bool exists(const QByteArray &path)
{
    struct stat st;
    return ::lstat(path.constData(), &st) == 0;
}

void makeTree(const QByteArray &root, const QList<QByteArray> &entries)
{
    for (const QByteArray &entry : entries) {
        const qsizetype arrow = entry.indexOf(" -> ");
        const QByteArray path = root + '/' + (arrow < 0 ? entry : entry.left(arrow));
        for (qsizetype slash = root.size() + 1; (slash = path.indexOf('/', slash)) > 0; ++slash)
            ::mkdir(path.left(slash).constData(), 0755);
        if (arrow >= 0)
            QVERIFY2(::symlink(entry.mid(arrow + 4).constData(), path.constData()) == 0, path.constData());
        else if (!entry.endsWith('/'))
            writeBytes(path, "x");
    }
}

namespace
{

// The calling thread's capabilities (the raw calls: glibc would set every
// thread's).
bool threadCapabilities(__user_cap_data_struct (&data)[2], bool set)
{
    __user_cap_header_struct header { _LINUX_CAPABILITY_VERSION_3, 0 };
    return ::syscall(set ? SYS_capset : SYS_capget, &header, data) == 0;
}

} // namespace

WithoutFileOverride::WithoutFileOverride()
{
    __user_cap_data_struct data[2] {};
    if (!threadCapabilities(data, false))
        return;
    m_effective[0] = data[0].effective;
    m_effective[1] = data[1].effective;
    for (const int cap : { CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH })
        data[cap / 32].effective &= ~(1u << (cap % 32));
    m_active = threadCapabilities(data, true);
}

WithoutFileOverride::~WithoutFileOverride()
{
    __user_cap_data_struct data[2] {};
    if (!m_active || !threadCapabilities(data, false))
        return;
    data[0].effective = m_effective[0];
    data[1].effective = m_effective[1];
    threadCapabilities(data, true);
}

FileHolder::FileHolder(const QString &path)
{
    m_process.setStandardInputFile(path);
    m_process.start(QStringLiteral("sleep"), { QStringLiteral("600") });
    m_process.waitForStarted();
}

FileHolder::~FileHolder()
{
    m_process.kill();
    m_process.waitForFinished();
}

bool FileHolder::isRunning() const
{
    return m_process.state() == QProcess::Running;
}

qint64 FileHolder::pid() const
{
    return m_process.processId();
}

} // namespace TestSupport
