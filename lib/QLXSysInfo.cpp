#include "QLXSysInfo.h"

#include "MIS_Func.h"

#include <QCoreApplication>
#include <QFile>
#include <QRegularExpression>
#include <QSysInfo>

namespace
{

QString programFile()
{
    if (QCoreApplication::instance())
        return QCoreApplication::applicationFilePath();
    return QFile::symLinkTarget(QStringLiteral("/proc/self/exe"));
}

QString compilerText()
{
#if defined(__clang__)
    return QStringLiteral("Clang ") + QStringLiteral(__clang_version__).section(QLatin1Char(' '), 0, 0);
#elif defined(__GNUC__)
    return QStringLiteral("GCC %1.%2.%3").arg(__GNUC__).arg(__GNUC_MINOR__).arg(__GNUC_PATCHLEVEL__);
#else
    return QStringLiteral("C++ compiler");
#endif
}

// Versions beyond a byte are kept at 255 rather than wrapped.
uint8_t toByte(uint value)
{
    return uint8_t(qMin(value, 255u));
}

// The distribution and its version ("Debian 12"), short enough for the four
// lines of the version message; the kernel's name when it is not known.
QString systemName()
{
    QString name = QSysInfo::productType();
    if (name.isEmpty() || name == QLatin1String("unknown"))
        return QStringLiteral("Linux");
    name[0] = name[0].toUpper();
    const QString version = QSysInfo::productVersion();
    if (!version.isEmpty() && version != QLatin1String("unknown"))
        name += QLatin1Char(' ') + version;
    return name;
}

} // namespace

TQLXSysInfo::TQLXSysInfo()
    : TQLXSysInfo(QSysInfo::kernelVersion(), systemName(), programFile())
{
}

TQLXSysInfo::TQLXSysInfo(const QString &kernelRelease, const QString &systemName, const QString &programFile)
    : Bits(uint8_t(sizeof(void *) * 8))
    , ExeDate(FileDateTimeOf(programFile))
    , SystemName(systemName.trimmed().isEmpty() ? QStringLiteral("Linux") : systemName.trimmed())
{
    parseKernelRelease(kernelRelease);
}

void TQLXSysInfo::parseKernelRelease(const QString &release)
{
    // "6.1.0-18-amd64": major, minor and patch level up to the first non-digit.
    static const QRegularExpression version(QStringLiteral("^(\\d+)(?:\\.(\\d+))?(?:\\.(\\d+))?"));
    const QRegularExpressionMatch m = version.match(release);
    if (!m.hasMatch())
        return;
    MajorVersion = toByte(m.captured(1).toUInt());
    MinorVersion = toByte(m.captured(2).toUInt());
    Build = m.captured(3).toUInt();
}

QString TQLXSysInfo::GetInfo(int Index) const
{
    switch (Index) {
    case 1:
        return QString::number(MajorVersion);
    case 2:
        return QString::number(MinorVersion);
    case 3:
        return QString::number(DosMajor);
    case 4:
        return QString::number(DosMinor);
    case 5:
        return QString::number(Build);
    case 6:
        return SystemName;
    case 7:
        return QStringLiteral("%1 (%2.%3 Build %4)")
            .arg(SystemName)
            .arg(MajorVersion)
            .arg(MinorVersion)
            .arg(Build);
    case 8:
        return QString::number(Bits) + QStringLiteral(" bits");
    case 9:
        return compilerText();
    case 10:
        return DateTimeToStrDMY(ExeDate);
    default:
        return QString();
    }
}

QString TQLXSysInfo::VersionInformation() const
{
    const QString crlf = QStringLiteral("\r\n");
    return QStringLiteral("Compiler: ") + GetInfo(9) + QStringLiteral(" (") + GetInfo(8) + QLatin1Char(')')
        + crlf + QStringLiteral("System: ") + GetInfo(7) + crlf + QStringLiteral("Executable: ") + GetInfo(10)
        + crlf + QStringLiteral("QLX-Library: ") + LibraryVersion();
}
