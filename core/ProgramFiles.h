#pragma once
// Where the program keeps the files it writes for itself (the settings file,
// the statistics report): beside the program file while the user may write
// in its folder, as a copy unpacked into a home folder does; in the user's
// configuration folder for a copy installed where only root writes.
//
// A file that lies beside such an installed program (put there for every
// user, naming the music folder, say) is not ignored: while the user's
// folder has no file of that name yet, it is started as a copy of the one
// beside the program. What that file says is thus read, the user's changes
// go to the user's own copy, and from then on the copy is the one read. The
// settings, the viewer's window geometry kept in them and the report are all
// read and written in that one folder. When the copy cannot be made, the
// file beside the program is read, and writing it fails with the usual error.

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
// appended when it has none, in ProgramFilesFolder(programPath). In the
// user's folder it is first copied from beside the program, as described
// above; the file beside the program is the answer when that copy fails.
QString ProgramFilePath(const QString &programPath, const QString &extension);

// Removes, from ProgramFilesFolder(programPath), the temporary files that
// writes of the settings file, the report, the index of listed songs and
// the log of moved song information cut short (a kill, a power
// loss) left behind, once they are abandoned; nothing else is touched.
void RemoveStaleProgramTemporaries(const QString &programPath);
