// syscalls.cpp - the system-call table, its names, overrides and counters.
#include "sys/syscalls.h"

#include <string.h>

const SysTable g_sysDefault = {
#define SONARO_SYS_REAL(name) &::name,
    SONARO_SYSCALLS(SONARO_SYS_REAL)
#undef SONARO_SYS_REAL
};

SysTable g_sys = g_sysDefault;
unsigned long g_sysCallCount[SYS_COUNT];
unsigned long g_sysCallTotal;
SysCallHook g_sysCallHook;

static const char *const SysNames[SYS_COUNT] = {
#define SONARO_SYS_NAME(name) #name,
    SONARO_SYSCALLS(SONARO_SYS_NAME)
#undef SONARO_SYS_NAME
};

// The table is a struct of function pointers of one size each, so entry i
// lives at slot i of the struct viewed as an array of pointers.
static_assert(sizeof(SysTable) == SYS_COUNT * sizeof(void *),
              "every table entry is one function pointer");

const char *SysName(int id)
{
    if (id < 0 || id >= SYS_COUNT)
        return nullptr;
    return SysNames[id];
}

int SysFind(const char *name)
{
    if (name == nullptr)
        return -1;
    for (int i = 0; i < SYS_COUNT; i++)
        if (strcmp(SysNames[i], name) == 0)
            return i;
    return -1;
}

int SysOverride(const char *name, void *fn)
{
    int id = SysFind(name);
    if (id < 0)
        return 1;
    void *slots[SYS_COUNT];
    const void *defaults[SYS_COUNT];
    memcpy(slots, &g_sys, sizeof slots);
    memcpy(defaults, &g_sysDefault, sizeof defaults);
    slots[id] = fn ? fn : const_cast<void *>(defaults[id]);
    memcpy(&g_sys, slots, sizeof slots);
    return 0;
}

void SysResetCounts(void)
{
    memset(g_sysCallCount, 0, sizeof g_sysCallCount);
    g_sysCallTotal = 0;
}

void SysRestoreAll(void)
{
    g_sys = g_sysDefault;
    g_sysCallHook = nullptr;
    SysResetCounts();
}
