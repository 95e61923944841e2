#pragma once
// A stand-in for the desktop's launcher: an "xdg-open" shell script placed
// first on PATH for the lifetime of the object. Each call records its
// arguments byte for byte (each followed by a NUL) and exits with the chosen
// code, after an optional pause.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QList>
#include <QTemporaryDir>
#include <QTest>

class StubLauncher
{
public:
    StubLauncher()
    {
        m_oldPath = qgetenv("PATH");
        const QString script = m_dir.filePath(QStringLiteral("xdg-open"));
        QFile f(script);
        if (!f.open(QIODevice::WriteOnly))
            qFatal("cannot write the stub launcher");
        f.write("#!/bin/sh\n"
                "here=$(dirname \"$0\")\n"
                "printf '%s\\0' \"$@\" > \"$here/args\"\n"
                "cut -d' ' -f6 /proc/$$/stat > \"$here/session\"\n"
                "fds=\"$(readlink /proc/$$/fd/0) $(readlink /proc/$$/fd/1) $(readlink /proc/$$/fd/2)\"\n"
                "echo \"$fds\" > \"$here/fds\"\n"
                "pwd -P > \"$here/cwd\"\n"
                "echo call >> \"$here/calls\"\n"
                "[ -f \"$here/pause\" ] && sleep \"$(cat \"$here/pause\")\"\n"
                "exit \"$(cat \"$here/code\" 2>/dev/null || echo 0)\"\n");
        f.close();
        f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("PATH", QFile::encodeName(m_dir.path()) + ':' + m_oldPath);
    }
    ~StubLauncher() { qputenv("PATH", m_oldPath); }

    QString dir() const { return m_dir.path(); }
    void setExitCode(int code) { write(QStringLiteral("code"), QByteArray::number(code)); }
    void setPause(int seconds) { write(QStringLiteral("pause"), QByteArray::number(seconds)); }
    // How often the launcher ran.
    int calls() const { return int(read(QStringLiteral("calls")).count('\n')); }
    // The arguments of the last call, each followed by a NUL.
    QByteArray arguments() const { return read(QStringLiteral("args")); }
    // The last call's session id, its standard input, output and error (on
    // one line) and its working folder.
    qint64 session() const { return read(QStringLiteral("session")).trimmed().toLongLong(); }
    QByteArray standardFiles() const { return read(QStringLiteral("fds")).trimmed(); }
    QByteArray workingFolder() const { return read(QStringLiteral("cwd")).chopped(1); }

private:
    void write(const QString &name, const QByteArray &bytes)
    {
        QFile f(m_dir.filePath(name));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    QByteArray read(const QString &name) const
    {
        QFile f(m_dir.filePath(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    QTemporaryDir m_dir;
    QByteArray m_oldPath;
};
