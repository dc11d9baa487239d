// versionline.cpp - the version line the commands print after their usage.
#include "base/identity.h"
#include "base/versionline.h"
#include "base/hostapi.h"

int PrintVersionLine(void)
{
    return Printf(L"\r\n\t\t\t\t%s  %u.%u.%u.%u (%s)\r\n", SONARO_NAME,
                  SONARO_VERSION_MAJOR, SONARO_VERSION_MINOR,
                  SONARO_VERSION_BUILD, SONARO_VERSION_REVISION, SONARO_ARCH_TAG);
}
