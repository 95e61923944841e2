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
