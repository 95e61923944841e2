#pragma once
// Small helpers shared by the tests: files as exact bytes, and a child
// process that holds a file open like a player does.

#include <QByteArray>
#include <QList>
#include <QProcess>
#include <QString>

namespace TestSupport
{

// Writes bytes to path (raw file-name bytes allowed); fails the test on error.
void writeBytes(const QByteArray &path, const QByteArray &bytes);
void writeBytes(const QString &path, const QByteArray &bytes);
// The file's bytes; a null QByteArray when it cannot be read.
QByteArray readBytes(const QByteArray &path);
QByteArray readBytes(const QString &path);
// Removes path and everything under it, whatever the names' bytes.
void removeTree(const QByteArray &path);
// True when the path exists (lstat).
bool exists(const QByteArray &path);
// Makes each entry below root (raw bytes, folders made as needed): "A/B/"
// a folder, "A/name -> target" a symbolic link, anything else a small file.
void makeTree(const QByteArray &root, const QList<QByteArray> &entries);

// While it lives, the thread that made it, and the threads that thread
// starts, meet file permissions as an ordinary user does, the super-user
// too: it gives up the capabilities that override them. active() is false
// where they could not be given up.
class WithoutFileOverride
{
public:
    WithoutFileOverride();
    ~WithoutFileOverride();
    WithoutFileOverride(const WithoutFileOverride &) = delete;
    WithoutFileOverride &operator=(const WithoutFileOverride &) = delete;
    bool active() const { return m_active; }

private:
    bool m_active = false;
    quint32 m_effective[2] = {};
};

// A child process ("sleep" with the file on its standard input) that holds
// path open until it is destroyed.
class FileHolder
{
public:
    explicit FileHolder(const QString &path);
    ~FileHolder();
    bool isRunning() const;
    qint64 pid() const;

private:
    QProcess m_process;
};

} // namespace TestSupport
