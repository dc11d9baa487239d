// versionreport.cpp - the /V version report, the build date and the _clver$ entry.
#include "help/helpcommand.h"
#include "base/hostapi.h"

#include <ctype.h>
#include <string.h>

const char BuildDateStamp[] = __DATE__;
const char BuildTimeStamp[] = __TIME__;

static bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// Reads a decimal number; false when no digit stands at *p.  Large values
// saturate, which every range check below refuses.
static bool ReadDecimal(const char **p, unsigned *value)
{
    const char *s = *p;
    if (!isdigit(static_cast<unsigned char>(*s)))
        return false;
    unsigned n = 0;
    for (; isdigit(static_cast<unsigned char>(*s)); s++)
        n = n > 100000 ? n : n * 10 + static_cast<unsigned>(*s - '0');
    *p = s;
    *value = n;
    return true;
}

int FormatDateStamp(const char *stamp, wchar_t *output)
{
    static const char *const months[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                           "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    if (output == nullptr)
        return -1;
    output[0] = 0;
    if (stamp == nullptr || strlen(stamp) < 3)
        return 1;

    unsigned month = 0;
    for (unsigned i = 0; i < 12 && month == 0; i++)
        if (_strnicmp(stamp, months[i], 3) == 0)
            month = i + 1;
    if (month == 0)
        return 1;

    const char *p = stamp + 3;
    unsigned day = 0;
    if (!IsBlank(*p))
        return 2;
    while (IsBlank(*p))
        p++;
    if (!ReadDecimal(&p, &day) || day < 1 || day > 31)
        return 2;

    unsigned year = 0;
    if (!IsBlank(*p))
        return 3;
    while (IsBlank(*p))
        p++;
    if (!ReadDecimal(&p, &year) || year < 2014 || year > 2099)
        return 3;

    Sprintf(output, L"%04u-%02u-%02u", year, month, day);
    return 0;
}

int FormatBuildDate(wchar_t *output)
{
    return FormatDateStamp(BuildDateStamp, output);
}

static int NarrowToWide(const char *text, wchar_t *buffer)
{
    int n = MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, text, -1, buffer, 1024);
    if (n <= 0)
        buffer[0] = 0;
    return n;
}

void PrintModuleVersion(const wchar_t *name, const char *version)
{
    // Dots in the odd places: the tail of it lines the versions up.
    static const wchar_t leaderText[] = L". . . . . . . . . . . . .";
    if (name == nullptr || version == nullptr)
        return;
    wchar_t wide[1024];
    NarrowToWide(version, wide);
    if (wide[0] == 0)
        return;
    size_t length = wcslen(name);
    size_t leader = length <= 20 ? 24 - length : 5;
    Printf(L"   %s %s %s\r\n", name, leaderText + (25 - leader), wide);
}

void PrintVersionReport(void)
{
    wchar_t date[1024];
    wchar_t time[1024];
    if (FormatBuildDate(date) != 0)
        date[0] = 0;
    time[0] = 0;
    ASCIIToUnicode(BuildTimeStamp, time, 1024);
    Printf(L"%s plugin  %d.%d.%d.%d  %s %s  (%s)\r\n\n", SONARO_NAME, SONARO_VERSION_MAJOR,
           SONARO_VERSION_MINOR, SONARO_VERSION_BUILD, SONARO_VERSION_REVISION, date, time,
           SONARO_ARCH_TAG);
    PrintModuleVersion(L"NewHelp", NEWHELP_VERSION);
    PrintModuleVersion(L"ParseArgs", PARSEARGS_VERSION);
    PrintModuleVersion(L"ConList", CONLIST_VERSION);
    PrintModuleVersion(L"SoundVol", SOUNDVOL_VERSION);
}

// The version entry reports the list-output module's version.
extern "C" int WINAPI ClverEntry(wchar_t *buffer)
{
    if (buffer == nullptr)
        return -1;
    NarrowToWide(CONLIST_VERSION, buffer);
    return 0;
}
