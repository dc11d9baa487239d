// fakenet.h - Windows Sockets, the resolver, DNS client and network
// configuration of the fake world: WSAStartup, GetAddrInfoW/FreeAddrInfoW, GetNameInfoW, DnsQuery_W/DnsFree,
// GetNetworkParams and GetAdaptersInfo.
#pragma once

#include "testsupport.h"

#include <string>
#include <vector>

namespace fake {

struct Host {
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
struct Record {
    WORD Type;
    std::string Address;  // IPv6 text for AAAA, IPv4 text for A
};
struct DnsCall {
    std::wstring Name;
    WORD Type;
    DWORD Options;
};
struct Adapter {
    UINT DhcpEnabled = 0;
    std::vector<std::string> Dhcp;  // chained; only the first counts
    UINT HaveWins = 0;
    std::string PrimaryWins;
    std::string SecondaryWins;
    std::vector<std::string> Gateways;
};

struct Net {
    // Windows Sockets: the version WSAStartup was asked for; it fails when
    // WinsockFails, else starts for real.
    WORD WinsockVersion = 0;
    bool WinsockFails = false;
    // Resolver: the hosts listed; with Numeric, any other numeric address
    // and localhost resolve for real (never a name server).
    std::vector<Host> Hosts;
    bool Numeric = true;
    std::vector<AddrInfoCall> AddrInfoCalls;
    int AddrInfoLive = 0;           // lists handed out and not yet freed
    std::wstring ReverseName;       // GetNameInfoW's answer; empty: none
    // DNS client: the answer to every query.
    std::vector<Record> Records;
    DNS_STATUS DnsStatus = 0;
    std::vector<DnsCall> DnsCalls;
    int DnsFrees = 0;
    int DnsBadFreeType = 0;
    // Network configuration.
    std::vector<std::string> DnsServers;
    std::vector<Adapter> Adapters;
    bool ConfigEmpty = false;       // the size query reports 0
    bool ConfigSecondFails = false; // the data query fails
};
extern Net net;

// Resets net (no host listed, no servers, no DNS answer) and installs it.
void InstallNet(void);
// A typical machine: "dual" (both families, canonical name "dual.canon")
// and "v4only" resolve; DNS answers an A and an AAAA record; two DNS
// servers; an adapter with DHCP, two WINS servers and an empty gateway, and
// a second adapter with the gateway.
void TypicalNetwork(void);

}  // namespace fake

// Text forms of addresses for comparisons.
std::string AddressText(const SOCKADDR *address);
std::string IPv4Text(DWORD address);

// Standard error holds exactly one message: the plugin's prefix, then this.
::testing::AssertionResult IsErrorMessage(const std::wstring &message);
#define EXPECT_ERROR(message) EXPECT_TRUE(IsErrorMessage(message))
