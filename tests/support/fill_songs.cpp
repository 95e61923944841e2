// Fills the song information files of many songs one after another, as the
// fill command does, until it is done or killed: the tests kill it half-way
// and look at what it leaves. The values of one song go into the files
// 0.INI to <count - 1>.INI of the information folder.
//
//   fill_songs <song> <information folder> <count> <date as yyyy-MM-dd>

#include "FileValues.h"
#include "QLXError.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char **argv)
{
    if (argc != 5)
        return 2;
    const TFileValues values = FileValuesOf(argv[1]);
    const QDate today = QDate::fromString(QString::fromLatin1(argv[4]), Qt::ISODate);
    const int count = std::atoi(argv[3]);
    try {
        for (int n = 0; n < count; ++n)
            FillSongInfo(QByteArray(argv[2]) + '/' + QByteArray::number(n) + ".INI", values, today);
    } catch (const EQLXError &e) {
        std::fprintf(stderr, "%s\n", e.message().toLocal8Bit().constData());
        return 1;
    }
    return 0;
}
