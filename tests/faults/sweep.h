// sweep.h - what the fault sweep's files share: the accounting of a run's
// resources, the checks after a run, and the scenarios.
#pragma once

#include "sys/syscalls.h"

#include <map>
#include <span>
#include <string>

namespace faultsweep {

// --- accounting.cpp -----------------------------------------------------------

extern SysTable inner;   // the entries the wrappers pass on to
extern long liveBlocks;  // malloc results not yet freed
extern long openKeys;    // registry keys opened or created and not yet closed
extern long liveLists;   // GetAddrInfoW lists not yet freed
extern long winsockUp;   // WSAStartup successes not yet cleaned up
extern long liveRecords; // DnsQuery_W record lists not yet freed
extern long pingHandler; // console control handlers registered and not yet removed
extern long listHandler;
extern long finePeriods; // timeBeginPeriod requests granted and not yet ended

// Wraps the world now in the table; the wrappers call what they replace.
void InstallAccounting(void);

// --- runchecks.cpp ------------------------------------------------------------

// Each message on standard error must be one that a scenario's failures can
// bring, word for word; a complaint for every other is added to problems.
void CheckStandardError(std::string *problems, std::wstring err, bool stdHandleFailed);

// The keys of the plugin's settings, macros and shared MIDI record, in both
// hives: every key as "HIVE\path\" and every value as "HIVE\path\name", with
// its type and data.
using RegistryImage = std::map<std::wstring, std::wstring>;

RegistryImage ReadRegistry(void);

// Adds to problems every entry created, removed or changed between the
// images that mayWrite does not allow.
void CheckRegistry(std::string *problems, const RegistryImage &before,
                   const RegistryImage &after, const wchar_t *mayWrite);

// --- scenarios.cpp ------------------------------------------------------------

struct Scenario {
    const char *Name;
    void (*SetUp)(void);     // the fake world, on a clean table
    int (*Play)(void);
    bool (*ResultOk)(int);
    void (*TearDown)(void);
    bool Icmp;               // the fake ICMP helper counts handles
    // Registry entries ("HKCU\key\value") the run may write or delete: those
    // beginning with this text, and the keys that hold them.  Null: none.
    const wchar_t *MayWrite = nullptr;
};

extern const std::span<const Scenario> Scenarios;

}  // namespace faultsweep
