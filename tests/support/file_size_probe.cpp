// Prints what the size probe says of one file: the tests run it as another
// user, so that readability is judged for someone who is not the file's owner.
//
//   file_size_probe <folder> <name>

#include "FIL_Func.h"
#include "OpenFileSet.h"

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

int main(int argc, char **argv)
{
    if (argc != 3)
        return 2;
    const int dirFd = ::open(argv[1], O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0)
        return 3;
    const long long atSize = FileSizeOfAt(dirFd, argv[2], OpenFileSet());
    const long long pathSize = FileSizeOf(QByteArray(argv[1]) + '/' + argv[2], OpenFileSet());
    std::printf("%lld %lld\n", atSize, pathSize);
    ::close(dirFd);
    return 0;
}
