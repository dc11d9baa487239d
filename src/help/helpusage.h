// helpusage.h - SONAROHELP's usage text, as "/?" prints it.
#pragma once

inline constexpr wchar_t SonaroHelpUsageText[] =
    L"Open the Sonaro plugin help file.\n\n"
    L"SONAROHELP /C /F /S /S:text /V topic\r\n\n"
    L"\t/C\tselect the Contents tab\n"
    L"\t/F\tselect the Favorites tab\n"
    L"\t/S\tselect the Search tab\n"
    L"\t/S:\tselect the Search tab and search for text\n"
    L"\t/V\tshow detailed plugin version info\n\n"
    L"Opens this plugin\x2019s help file to the specified topic.\n"
    L"If no topic is given, opens the Overview page by default.  \n";
