#include "NUM_Func.h"

quint16 MinWord(quint16 A, quint16 B)
{
    return B > A ? A : B;
}
