#pragma once
// Where the program keeps the files it writes for itself (the settings file,
// the statistics report): beside the program file while the user may write
// in its folder, as a copy unpacked into a home folder does; in the user's
// configuration folder for a copy installed where only root writes.

#include <QString>

// The folder for the program's own files: the folder of programPath when
// the user can create files in it, else $XDG_CONFIG_HOME/discora
// (~/.config/discora when XDG_CONFIG_HOME is unset or not an absolute path),
// which is then created (mode 0700) when missing. No trailing "/".
QString ProgramFilesFolder(const QString &programPath);

// path with the last extension of its file name replaced by extension (or
// extension added, for a name without one): "/a/discora" + ".INI".
QString WithExtension(const QString &path, const QString &extension);
// The program's own file with the given extension (".INI", ".TXT"): the
// program file's name with its last extension replaced, or the extension
// appended when it has none, in ProgramFilesFolder(programPath).
QString ProgramFilePath(const QString &programPath, const QString &extension);
