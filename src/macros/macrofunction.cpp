// macrofunction.cpp - @SONAROMACRO: the text of one host macro for batch files.
#include "macros/macrostore.h"
#include "args/parseargs.h"
#include "base/hostapi.h"
#include "base/identity.h"
#include "base/hostbuffer.h"
#include "base/errorreport.h"

#include <string.h>
#include <wctype.h>



SONARO_EXPORT int WINAPI f_sonaromacro(wchar_t *buffer)
{
    if (buffer == nullptr)
        return -1;
    CutToHostBuffer(buffer);

    wchar_t *rest = buffer;
    while (iswspace(*rest))
        rest++;
    if (*rest == L'#')
        rest++;

    if (iswalpha(*rest)) {
        if (!IsValidMacroName(rest)) {
            UpperCaseToken(rest, FUNCTION_BUFFER_CAPACITY);
            ReportError(L"Bad macro name: \"#%s\"\r\n", rest);
            return -1;
        }
        // The work copy frees the buffer for the result.
        static wchar_t name[FUNCTION_BUFFER_CAPACITY];
        wcsncpy(name, rest, FUNCTION_BUFFER_CAPACITY - 1);
        name[FUNCTION_BUFFER_CAPACITY - 1] = 0;
        UpperCaseToken(name, FUNCTION_BUFFER_CAPACITY);
        buffer[0] = 0;
        LookupNamedMacro(name, buffer);
        return 0;
    }

    if (*rest == 0) {
        ReportError(L"Missing macro name\r\n");
        return -1;
    }

    DWORD number = 0;
    if (ParseNumber(rest, nullptr, &number) == 0) {
        buffer[0] = 0;
        LookupNumberedMacro(number, buffer);
        return 0;
    }

    UpperCaseToken(buffer, FUNCTION_BUFFER_CAPACITY);
    ReportError(L"Bad macro number: \"%s\"\r\n", buffer);
    return -1;
}
