// helpcommand.h - the SONAROHELP command, and the version report.
#pragma once

#include "base/identity.h"
#include "sys/winhdr.h"
#include "args/options.h"

// Module versions of the version report (narrow texts of the build).
#define NEWHELP_VERSION "1.0.8.14"
#define PARSEARGS_VERSION "1.0.3.0"
#define CONLIST_VERSION "1.1.0.0"
#define SOUNDVOL_VERSION "1.0.5.1"

// The compiler's stamps of this build, "Mmm dd yyyy" and "hh:mm:ss".
extern const char BuildDateStamp[];
extern const char BuildTimeStamp[];

// Quotes a search text that holds white space, in place (capacity 8192).
// 0, or 8 when there is no room for the quotes, -1 when missing.
int QuoteIfBlank(wchar_t *text);
// The build date as yyyy-mm-dd (capacity 1024); 1, 2, 3 for an unreadable
// month, day or year (output empty), -1 when missing.
int FormatBuildDate(wchar_t *output);
// The same for any date stamp in the compiler's form.
int FormatDateStamp(const char *stamp, wchar_t *output);
// "   name . . . version" with the dot leader that lines the versions up.
void PrintModuleVersion(const wchar_t *name, const char *version);
// The /V report: the plugin line and one line per module.
void PrintVersionReport(void);

struct HelpRequest;

#define HELP_GO_ON -1  // an option's "next token, please"

// One option of SONAROHELP, which takes them only with "/".  Apply gives
// HELP_GO_ON, or the command's result.
struct HelpOption {
    const wchar_t *Letters;
    OptionForm Form;
    int (*Apply)(HelpRequest *request, const wchar_t *token);
};

extern const HelpOption HelpOptionTable[];
extern const size_t HelpOptionCount;

SONARO_EXPORT int WINAPI sonarohelp(wchar_t *arguments);
// Exported under its decorated name by the .def file.
extern "C" int WINAPI ClverEntry(wchar_t *buffer);
