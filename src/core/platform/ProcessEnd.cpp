// How a program ends once its work is done.
#include "ProcessEnd.h"

#include <cstdio>

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#endif

int FinishProcess(int code)
{
#ifdef _WIN32
    std::fflush(nullptr);
    TerminateProcess(GetCurrentProcess(), static_cast<UINT>(code));
#endif
    return code;
}
