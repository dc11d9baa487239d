// expand.cpp - variable expansion of the stand-in host (to be completed).
#include "host/takecmd/hostcontrol.h"

extern "C" HOSTAPI int WINAPI ExpandVariables(wchar_t *, int)
{
    return 0;
}

extern "C" HOSTAPI int WINAPI WildcardComparison(const wchar_t *, const wchar_t *, int, int)
{
    return 1;
}

extern "C" HOSTAPI int WINAPI ParseColors(const wchar_t *, int *, int *)
{
    return 1;
}
