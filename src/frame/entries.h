// entries.h - the description record and the entries the host calls first.
#pragma once

#include "base/identity.h"
#include "sys/winhdr.h"

// The record GetPluginInfo hands to the host.  In a 32-bit process the nine
// fields the plugin fills lie at offsets 0 to 32.
struct PluginInfoRecord {
    const wchar_t *Name;
    const wchar_t *Author;
    const wchar_t *Email;
    const wchar_t *WebPage;
    const wchar_t *Description;
    const wchar_t *Implements;
    int Major;
    int Minor;
    int Build;
    // Written by the host after GetPluginInfo returned: its module handle
    // for the plugin and a pointer to the module's name.  Never set here.
    HMODULE HostModule;
    const wchar_t *HostModuleName;
};

#define SONARO_IMPLEMENTS                                                     \
    L"sonaro,sonarohelp,sonaromacro,@sonaromacro,@lookuphost,@pingdhcp,"      \
    L"@pingdns,@pingrouter,@pingtime,@pingwins,_pingavg,_pingmax,_pingmin,"   \
    L"_pingslost,_pingsrcvd"

// The host passes the plugin's module handle (not used: DllMain stored it).
SONARO_EXPORT PluginInfoRecord *WINAPI GetPluginInfo(HMODULE module);
SONARO_EXPORT int WINAPI InitializePlugin(void);
// endProcess: 1 when the host process is ending, 0 when only the plugin is
// unloaded; the clean-up is the same.
SONARO_EXPORT int WINAPI ShutdownPlugin(BOOL endProcess);
SONARO_EXPORT int WINAPI Usage(const wchar_t *name, wchar_t *buffer);
// The help page of one of the names the plugin implements; 0 when the
// name is not one of them.
SONARO_EXPORT int WINAPI Help(wchar_t *name);
