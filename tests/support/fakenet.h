// fakenet.h - a fake resolver, DNS client, network configuration and ICMP
// helper, installed into the system-call table for the resolve tests.
#pragma once

#include "testsupport.h"
#include "fakeicmp.h"

#include <string>
#include <vector>

// --- resolver (GetAddrInfoW / FreeAddrInfoW) --------------------------------
struct FakeHost {
    std::wstring Name;       // matched without regard to case
    int Family;              // 2 or 23
    std::string Address;     // text form
    std::wstring Canonical;  // empty: none
    bool AnyFamily = false;  // listed whatever family the hints ask for
    int AddrLen = 0;         // 0: the family's own length
    bool NullAddress = false;
};
struct AddrInfoCall {
    std::wstring Name;
    int Family;
    int Flags;
};
extern std::vector<FakeHost> g_fakeHosts;
extern std::vector<AddrInfoCall> g_addrInfoCalls;
extern int g_addrInfoLive;  // lists handed out and not yet freed

// --- DNS client (DnsQuery_W / DnsFree) --------------------------------------
struct FakeRecord {
    WORD Type;
    std::string Address;  // IPv6 text for AAAA, IPv4 text for A
};
struct DnsCall {
    std::wstring Name;
    WORD Type;
    DWORD Options;
};
extern std::vector<FakeRecord> g_fakeRecords;  // answer to every query
extern DNS_STATUS g_fakeDnsStatus;
extern std::vector<DnsCall> g_dnsCalls;
extern int g_dnsFreeCount;
extern int g_dnsBadFreeType;

// --- network configuration (GetNetworkParams / GetAdaptersInfo) -------------
struct FakeAdapter {
    UINT DhcpEnabled = 0;
    std::vector<std::string> Dhcp;  // chained; only the first counts
    UINT HaveWins = 0;
    std::string PrimaryWins;
    std::string SecondaryWins;
    std::vector<std::string> Gateways;
};
extern std::vector<std::string> g_fakeDnsServers;
extern std::vector<FakeAdapter> g_fakeAdapters;
extern bool g_fakeConfigEmpty;        // the size query reports 0
extern bool g_fakeConfigSecondFails;  // the data query fails

// --- ICMP helper: the world's one fake (fakeicmp.h), g_icmp ---------------------

// Installs every fake above with empty data (nothing resolves, no servers,
// no DNS answer, echoes succeed).
void InstallFakeNet(void);
// InstallFakeNet with a typical machine: "dual" (both families, canonical
// name "dual.canon") and "v4only" resolve; DNS answers an A and an AAAA
// record; two DNS servers; an adapter with DHCP, two WINS servers and an
// empty gateway, and a second adapter with the gateway.
void InstallTypicalNetwork(void);

// Text forms of addresses for comparisons.
std::string AddressText(const SOCKADDR *address);
std::string IPv4Text(DWORD address);

// Standard error holds exactly one message: the plugin's prefix, then this.
::testing::AssertionResult IsErrorMessage(const std::wstring &message);
#define EXPECT_ERROR(message) EXPECT_TRUE(IsErrorMessage(message))
