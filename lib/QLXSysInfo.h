#pragma once
// Facts about the running system and the build, as texts for the about
// dialog's version information: the kernel version, the system's name, the
// compiler, the pointer width and the date of the program file.

#include "DTM_Func.h"

#include <QString>

#include <cstdint>

class TQLXSysInfo
{
public:
    // Reads the running kernel's version and the date of the program file
    // (QCoreApplication's, else /proc/self/exe).
    TQLXSysInfo();
    // For tests: a given kernel release ("6.1.0-18-amd64"), system name and
    // program file.
    TQLXSysInfo(const QString &kernelRelease, const QString &systemName, const QString &programFile);

    // Index 1: kernel major version; 2: kernel minor version; 3 and 4: 0 (no
    // DOS layer under this system); 5: the kernel's patch level ("build");
    // 6: the system's name and version ("Debian 12"); 7: the name
    // with the version, "<name> (<major>.<minor> Build <build>)"; 8: the
    // pointer width, "64 bits"; 9: the compiler and its version ("GCC
    // 12.2.0"); 10: the program file's date, "dd-mm-yyyy hh:nn" (01-01-1900
    // 00:00 when it cannot be read). Any other index: empty.
    QString GetInfo(int Index) const;

    // The four lines of the version information (Compiler, System,
    // Executable, QLX-Library), separated by CR LF.
    QString VersionInformation() const;

    uint8_t MajorVersion = 0;
    uint8_t MinorVersion = 0;
    uint8_t DosMajor = 0;
    uint8_t DosMinor = 0;
    uint32_t Build = 0;
    uint8_t Bits = 0;
    TDateTime ExeDate = 0;
    QString SystemName;

private:
    void parseKernelRelease(const QString &release);
};
