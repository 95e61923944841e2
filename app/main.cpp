// Discora: a music folder as a browsable library.

#include "ProgramFiles.h"
#include "QLXApplication.h"
#include "QLXIcon.h"
#include "QLXInstance.h"
#include "UDSCMain.h"

#include "QLXError.h"

#include <cstdio>
#include <cstdlib>
#ifdef __GLIBC__
#include <malloc.h>
#endif
#include <algorithm>
#include <string_view>
#include <thread>

int main(int argc, char *argv[])
{
#ifdef __GLIBC__
    // A scan's threads each take memory from an arena of their own. glibc
    // hands the free end of such an arena back only past a threshold that
    // grows with the largest block freed (up to 64 MiB), and malloc_trim()
    // does not touch it: after a large library's first start, what its
    // threads read stayed resident, twice what the songs keep. A fixed
    // threshold gives it back as it is freed.
    ::mallopt(M_TRIM_THRESHOLD, 1 << 20);
    // Below that threshold each arena keeps its free end, and glibc makes
    // up to eight arenas a core: a tree library's first start, with its
    // readers, lookers and row threads side by side, left a dozen of them
    // holding a few hundred KiB each (malloc_info), a third of what the
    // songs keep. One arena a core, and one more for the window's thread
    // putting rows together while the tag readers run on every core, lets
    // threads allocate without waiting for each other: with one a core, a
    // first start of 100,000 songs spent a tenth more processor time.
    ::mallopt(M_ARENA_MAX, std::max(3, int(std::thread::hardware_concurrency()) + 1));
    // The fixed trim threshold fixes the one for blocks of their own too,
    // at 128 KiB: a cache file read whole, the vectors of a library of thousands
    // of songs were each mapped anew and given back when freed, and every
    // page of them cost a fault when first written, more than the writing
    // itself in a virtual machine (15 us a page measured). Taken from the
    // heap, the next block reuses what the last one freed: a start with the
    // cache of 10,000 songs made 900 faults fewer and took a tenth less
    // time. What stays free goes back with the trim after each full scan,
    // or at the heap's end as above. Blocks of 4 MiB and more (a report of
    // a large library) are still mapped and given back as they are freed.
    ::mallopt(M_MMAP_THRESHOLD, 4 << 20);
#endif
    const char *platform = std::getenv("QT_QPA_PLATFORM");
    const bool needsDisplay = platform == nullptr || std::string_view(platform).starts_with("xcb");
    if (needsDisplay && std::getenv("DISPLAY") == nullptr && std::getenv("WAYLAND_DISPLAY") == nullptr) {
        std::fprintf(
            stderr, "discora: no display found (DISPLAY is not set); start it inside a desktop session.\n");
        return 1;
    }
    TQLXApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Discora"));
    TQLXApplication::setTitle(QStringLiteral("Discora"));

    // A second copy of this executable hands over to the running one and
    // ends before it creates a window, scans or writes anything.
    TQLXInstanceGuard guard;
    if (guard.Start() == TQLXInstanceGuard::Second)
        return 0;
    // Writes of the settings file or the report that a kill cut short left
    // their temporary files; abandoned ones go.
    RemoveStaleProgramTemporaries(QCoreApplication::applicationFilePath());

    // The desktop matches the window to discora.desktop and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("discora"));
    QApplication::setWindowIcon(ProgramIcon());

    int result = 0;
    try {
        TfrmMain frmMain;
        guard.setMainWindow(&frmMain);
        frmMain.show();
        frmMain.activateWindow();
        result = app.exec();
    } catch (const EQLXError &e) {
        TQLXApplication::ShowExceptionNow(e.message());
        result = 1;
    }
    return result;
}
