#pragma once
// The one number routine of the library.

#include <QtGlobal>

// The smaller of two unsigned 16-bit values.
quint16 MinWord(quint16 A, quint16 B);
