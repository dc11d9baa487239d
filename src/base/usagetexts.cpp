// usagetexts.cpp - the commands' usage texts and the version line.
#include "base/identity.h"
#include "base/usagetexts.h"
#include "base/hostapi.h"

const wchar_t SonaroUsageText[] =
    L"Audibly ping a network host.\n\n"
    L"SONARO /4 /6 /A /C /D /F /I:n /L:n /N:n /Q /T /W:n hostname  \r\n\n"
    L"\t/4\tuse IPv4\n"
    L"\t/6\tuse IPv6\n"
    L"\t/A\tresolve numeric addresses\n"
    L"\t/C\tshow line numbers\n"
    L"\t/D\tdisable highlight\n"
    L"\t/F\tset the Don\x2019t Fragment flag\n"
    L"\t/I:\tspecify Time-To-Live\n"
    L"\t/L:\tpacket size, in bytes    (64)\n"
    L"\t/N:\tnumber of pings to send  (4)\n"
    L"\t/Q\tquietly\n"
    L"\t/T\tcontinue until Control-C hit\n"
    L"\t/W:\ttimeout in milliseconds  (3000)\n\n"
    L"Options may begin with either a forward slash or a dash.  \n"
    L"The hostname must be specified.\n";

const wchar_t SonaroMacroUsageText[] =
    L"List or change SONARO macros.\n\n"
    L"SONAROMACRO /D /L /P #n=value...  \r\n\n"
    L"\t/D\tdisable highlight\n"
    L"\t/L\tlist all defined macros\n"
    L"\t/P\tpage output\n\n"
    L"Use #n=value to create a macro, #n= (with no value) to delete it.  \n"
    L"With no arguments, the default is to list all.\n";

const wchar_t SonaroHelpUsageText[] =
    L"Open the Sonaro plugin help file.\n\n"
    L"SONAROHELP /C /F /S /S:text /V topic\r\n\n"
    L"\t/C\tselect the Contents tab\n"
    L"\t/F\tselect the Favorites tab\n"
    L"\t/S\tselect the Search tab\n"
    L"\t/S:\tselect the Search tab and search for text\n"
    L"\t/V\tshow detailed plugin version info\n\n"
    L"Opens this plugin\x2019s help file to the specified topic.\n"
    L"If no topic is given, opens the Overview page by default.  \n";

int PrintVersionLine(void)
{
    return Printf(L"\r\n\t\t\t\t%s  %u.%u.%u.%u (%s)\r\n", SONARO_NAME,
                  SONARO_VERSION_MAJOR, SONARO_VERSION_MINOR,
                  SONARO_VERSION_BUILD, SONARO_VERSION_REVISION, SONARO_ARCH_TAG);
}
