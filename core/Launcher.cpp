#include "Launcher.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>

#include <memory>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

// Result codes: the file or its folder is missing, access is denied, no
// application can open the file.
constexpr int FileNotFound = 2;
constexpr int PathNotFound = 3;
constexpr int AccessDenied = 5;
constexpr int NoAssociation = 31;

// The folder path lies in ("/" for a file at the root).
QByteArray folderOf(const QByteArray &path)
{
    const qsizetype slash = path.lastIndexOf('/');
    return slash <= 0 ? QByteArray("/") : path.left(slash);
}

// Why path cannot be handed over, as a result code; 0 when it can.
int checkPath(const QByteArray &path, const QByteArray &folder)
{
    struct stat st;
    if (::stat(folder.constData(), &st) != 0 || !S_ISDIR(st.st_mode))
        return PathNotFound;
    if (::stat(path.constData(), &st) != 0 || S_ISDIR(st.st_mode))
        return FileNotFound;
    // The kernel's answer for our own ids: ACLs may allow what the mode
    // bits deny, and the other way round.
    if (::faccessat(AT_FDCWD, path.constData(), R_OK, AT_EACCESS) != 0)
        return AccessDenied;
    return 0;
}

} // namespace

TLauncher::TLauncher(QObject *parent)
    : QObject(parent)
{
}

// Launchers still running are stopped with their QProcess; the players they
// started live in sessions of their own and go on playing.
TLauncher::~TLauncher() = default;

int TLauncher::running() const
{
    return int(findChildren<QProcess *>().size());
}

QString TLauncher::CodeText(int code)
{
    switch (code) {
    case 2:
        return QStringLiteral("The specified file was not found.");
    case 3:
        return QStringLiteral("The specified path was not found.");
    case 5:
        return QStringLiteral("Windows 95 only: The operating system denied access to the specified file.");
    case 8:
        return QStringLiteral("Windows 95 only: There was not enough memory to complete the operation.");
    case 11:
        return QStringLiteral("The .EXE file is invalid (non-Win32 .EXE or error in .EXE image).");
    case 26:
        return QStringLiteral("A sharing violation occurred.");
    case 27:
        return QStringLiteral("The filename association is incomplete or invalid.");
    case 28:
        return QStringLiteral("The DDE transaction could not be completed because the request timed out.");
    case 29:
        return QStringLiteral("The DDE transaction failed.");
    case 30:
        return QStringLiteral("The DDE transaction could not be completed because other DDE transactions "
                              "were being processed.");
    case 31:
        return QStringLiteral("There is no application associated with the given filename extension.");
    case 32:
        return QStringLiteral("Windows 95 only: The specified dynamic-link library was not found.");
    default:
        return QStringLiteral("Undocumented: %1.").arg(code);
    }
}

QString TLauncher::ExitText(int exitCode, bool crashed)
{
    // xdg-open: 2 file missing, 3 no application for the type, 5 file not
    // readable. Its other codes (1 bad argument, 4 the action failed) and
    // any code of another launcher have no meaning in our table, so they
    // are shown as they are rather than as a cause we cannot vouch for.
    if (crashed)
        return CodeText(0);
    switch (exitCode) {
    case 2:
        return CodeText(FileNotFound);
    case 3:
        return CodeText(NoAssociation);
    case 5:
        return CodeText(AccessDenied);
    default:
        return QStringLiteral("Undocumented: %1.").arg(exitCode);
    }
}

void TLauncher::open(const QByteArray &path)
{
    const QByteArray folder = folderOf(path);
    if (const int code = checkPath(path, folder)) {
        Q_EMIT failed(CodeText(code), path);
        return;
    }
    const QString resolved = m_program.contains(u'/') ? m_program : QStandardPaths::findExecutable(m_program);
    if (resolved.isEmpty()) {
        // No launcher, so nothing on this system can open the song.
        Q_EMIT failed(CodeText(NoAssociation), path);
        return;
    }

    auto *process = new QProcess(this);
    process->setProgram(resolved);
    // Qt passes arguments as UTF-8, which cannot carry every file name. The
    // child below starts the launcher itself with the raw bytes; Qt's own
    // start of the same program only runs when that one could not start,
    // and then fails the same way, which Qt reports as usual.
    process->setArguments({ QFile::decodeName(path) });
    process->setStandardInputFile(QProcess::nullDevice());
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    const QByteArray program = QFile::encodeName(resolved);
    process->setChildProcessModifier([program, path, folder] {
        // Between fork and exec: only async-signal-safe calls, no allocation.
        ::setsid();
        if (::chdir(folder.constData()) != 0) {
            // The folder was there a moment ago; the launcher gets the
            // absolute path either way.
        }
        char *argv[]
            = { const_cast<char *>(program.constData()), const_cast<char *>(path.constData()), nullptr };
        ::execv(argv[0], argv);
    });

    auto started = std::make_shared<QElapsedTimer>();
    started->start();
    connect(process, &QProcess::errorOccurred, this, [this, process, path](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart)
            return;
        process->deleteLater();
        Q_EMIT failed(CodeText(NoAssociation), path);
    });
    connect(process, &QProcess::finished, this,
        [this, process, path, started](int exitCode, QProcess::ExitStatus status) {
            process->deleteLater();
            const bool crashed = status == QProcess::CrashExit;
            if (started->elapsed() > SettleMs || (exitCode == 0 && !crashed))
                return;
            Q_EMIT failed(ExitText(exitCode, crashed), path);
        });
    process->start();
}
