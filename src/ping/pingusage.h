// pingusage.h - SONARO's usage text, as "/?" prints it.  It lists the
// common options only; the help page has them all.
#pragma once

inline constexpr wchar_t SonaroUsageText[] =
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
