// netentries.h - the variable functions of host resolution and network information.
#pragma once

#include "base/identity.h"
#include "sys/winhdr.h"

SONARO_EXPORT int WINAPI f_lookuphost(wchar_t *buffer);
SONARO_EXPORT int WINAPI f_pingdns(wchar_t *buffer);
SONARO_EXPORT int WINAPI f_pingdhcp(wchar_t *buffer);
SONARO_EXPORT int WINAPI f_pingrouter(wchar_t *buffer);
SONARO_EXPORT int WINAPI f_pingwins(wchar_t *buffer);
SONARO_EXPORT int WINAPI f_pingtime(wchar_t *buffer);
