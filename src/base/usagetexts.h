// usagetexts.h - the commands' usage texts and the version line.
#pragma once

// Usage texts, exactly as the commands print them for "/?".
extern const wchar_t SonaroUsageText[];
extern const wchar_t SonaroMacroUsageText[];
extern const wchar_t SonaroHelpUsageText[];
// "\r\n\t\t\t\t%s  %u.%u.%u.%u (%s)\r\n" with the name, version and platform.
int PrintVersionLine(void);
