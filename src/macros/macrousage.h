// macrousage.h - SONAROMACRO's usage text, as "/?" prints it.
#pragma once

inline constexpr wchar_t SonaroMacroUsageText[] =
    L"List or change SONARO macros.\n\n"
    L"SONAROMACRO /D /L /P #n=value...  \r\n\n"
    L"\t/D\tdisable highlight\n"
    L"\t/L\tlist all defined macros\n"
    L"\t/P\tpage output\n\n"
    L"Use #n=value to create a macro, #n= (with no value) to delete it.  \n"
    L"With no arguments, the default is to list all.\n";
