// fakenet.cpp - the fake resolver, DNS client, network configuration and ICMP helper.
#include "fakenet.h"

#include <algorithm>
#include <string.h>

std::vector<FakeHost> g_fakeHosts;
std::vector<AddrInfoCall> g_addrInfoCalls;
int g_addrInfoLive;
std::vector<FakeRecord> g_fakeRecords;
DNS_STATUS g_fakeDnsStatus;
std::vector<DnsCall> g_dnsCalls;
int g_dnsFreeCount;
int g_dnsBadFreeType;
std::vector<std::string> g_fakeDnsServers;
std::vector<FakeAdapter> g_fakeAdapters;
bool g_fakeConfigEmpty;
bool g_fakeConfigSecondFails;

namespace {

std::wstring Wide(const std::string &text)
{
    return std::wstring(text.begin(), text.end());
}

std::string Ascii(const std::wstring &text)
{
    return std::string(text.begin(), text.end());
}

void ParseV4(const std::string &text, IN_ADDR *address)
{
    ASSERT_EQ(InetPtonW(AF_INET, Wide(text).c_str(), address), 1) << text;
}

void ParseV6(const std::string &text, IN6_ADDR *address)
{
    ASSERT_EQ(InetPtonW(AF_INET6, Wide(text).c_str(), address), 1) << text;
}

// --- resolver ---------------------------------------------------------------

INT WSAAPI FakeGetAddrInfoW(PCWSTR name, PCWSTR service, const ADDRINFOW *hints,
                            PADDRINFOW *result)
{
    EXPECT_EQ(service, nullptr);
    EXPECT_NE(hints, nullptr);
    int family = hints ? hints->ai_family : 0;
    g_addrInfoCalls.push_back({name ? name : L"(null)", family, hints ? hints->ai_flags : -1});
    if (hints) {
        EXPECT_EQ(hints->ai_socktype, 0);
        EXPECT_EQ(hints->ai_protocol, 0);
    }
    ADDRINFOW *head = nullptr;
    ADDRINFOW **tail = &head;
    for (const FakeHost &host : g_fakeHosts) {
        if (name == nullptr || _wcsicmp(host.Name.c_str(), name) != 0)
            continue;
        if (!host.AnyFamily && host.Family != family)
            continue;
        ADDRINFOW *entry = new ADDRINFOW();
        entry->ai_family = host.Family;
        // Storage for either family, freed as one type.
        SOCKADDR_IN6 *storage = new SOCKADDR_IN6();
        entry->ai_addr = reinterpret_cast<SOCKADDR *>(storage);
        if (host.Family == AF_INET) {
            SOCKADDR_IN *v4 = reinterpret_cast<SOCKADDR_IN *>(storage);
            v4->sin_family = AF_INET;
            ParseV4(host.Address, &v4->sin_addr);
            entry->ai_addrlen = sizeof *v4;
        } else {
            SOCKADDR_IN6 *v6 = storage;
            v6->sin6_family = AF_INET6;
            v6->sin6_flowinfo = 0x11;
            v6->sin6_scope_id = 0;
            ParseV6(host.Address, &v6->sin6_addr);
            entry->ai_addrlen = sizeof *v6;
        }
        if (host.AddrLen)
            entry->ai_addrlen = static_cast<size_t>(host.AddrLen);
        if (host.NullAddress) {
            delete storage;
            entry->ai_addr = nullptr;
        }
        if (!host.Canonical.empty() && hints && (hints->ai_flags & AI_CANONNAME)) {
            entry->ai_canonname = new wchar_t[host.Canonical.size() + 1];
            wcscpy(entry->ai_canonname, host.Canonical.c_str());
        }
        *tail = entry;
        tail = &entry->ai_next;
    }
    if (head == nullptr)
        return WSAHOST_NOT_FOUND;
    g_addrInfoLive++;
    *result = head;
    return 0;
}

VOID WSAAPI FakeFreeAddrInfoW(PADDRINFOW list)
{
    g_addrInfoLive--;
    while (list) {
        ADDRINFOW *next = list->ai_next;
        delete reinterpret_cast<SOCKADDR_IN6 *>(list->ai_addr);
        delete[] list->ai_canonname;
        delete list;
        list = next;
    }
}

// --- DNS ----------------------------------------------------------------------

DNS_STATUS WINAPI FakeDnsQuery(PCWSTR name, WORD type, DWORD options, PIP4_ARRAY servers,
                               PDNS_RECORD *results, PVOID *reserved)
{
    g_dnsCalls.push_back({name ? name : L"(null)", type, options});
    EXPECT_EQ(servers, nullptr);
    EXPECT_EQ(reserved, nullptr);
    if (g_fakeDnsStatus != 0)
        return g_fakeDnsStatus;
    if (g_fakeRecords.empty()) {
        *results = nullptr;
        return DNS_INFO_NO_RECORDS;
    }
    DNS_RECORDW *records = new DNS_RECORDW[g_fakeRecords.size()]();
    for (size_t i = 0; i < g_fakeRecords.size(); i++) {
        records[i].wType = g_fakeRecords[i].Type;
        if (g_fakeRecords[i].Type == DNS_TYPE_AAAA)
            ParseV6(g_fakeRecords[i].Address,
                    reinterpret_cast<IN6_ADDR *>(&records[i].Data.AAAA.Ip6Address));
        else
            ParseV4(g_fakeRecords[i].Address, reinterpret_cast<IN_ADDR *>(&records[i].Data.A));
        records[i].pNext = i + 1 < g_fakeRecords.size() ? &records[i + 1] : nullptr;
    }
    *results = records;
    return 0;
}

VOID WINAPI FakeDnsFree(PVOID data, DNS_FREE_TYPE type)
{
    g_dnsFreeCount++;
    if (type != DnsFreeRecordList)
        g_dnsBadFreeType++;
    delete[] static_cast<DNS_RECORDW *>(data);
}

// --- network configuration -------------------------------------------------

void FillAddrString(IP_ADDR_STRING *entry, const std::string &text)
{
    memset(entry, 0, sizeof *entry);
    size_t length = std::min(text.size(), sizeof entry->IpAddress.String - 1);
    memcpy(entry->IpAddress.String, text.data(), length);
}

// Fills a chain whose first entry is embedded; further entries come from
// the spare area behind the records.
void FillChain(IP_ADDR_STRING *first, const std::vector<std::string> &texts,
               IP_ADDR_STRING **spare)
{
    FillAddrString(first, texts.empty() ? std::string() : texts[0]);
    IP_ADDR_STRING *last = first;
    for (size_t i = 1; i < texts.size(); i++) {
        IP_ADDR_STRING *entry = (*spare)++;
        FillAddrString(entry, texts[i]);
        last->Next = entry;
        last = entry;
    }
}

size_t ChainExtra(const std::vector<std::string> &texts)
{
    return texts.size() > 1 ? texts.size() - 1 : 0;
}

DWORD WINAPI FakeGetNetworkParams(PFIXED_INFO info, PULONG size)
{
    if (g_fakeConfigEmpty) {
        *size = 0;
        return ERROR_NO_DATA;
    }
    ULONG needed = static_cast<ULONG>(sizeof(FIXED_INFO) +
                                      ChainExtra(g_fakeDnsServers) * sizeof(IP_ADDR_STRING));
    if (info == nullptr || *size < needed) {
        *size = needed;
        return ERROR_BUFFER_OVERFLOW;
    }
    if (g_fakeConfigSecondFails)
        return ERROR_BUFFER_OVERFLOW;
    memset(info, 0, needed);
    IP_ADDR_STRING *spare = reinterpret_cast<IP_ADDR_STRING *>(info + 1);
    FillChain(&info->DnsServerList, g_fakeDnsServers, &spare);
    return NO_ERROR;
}

DWORD WINAPI FakeGetAdaptersInfo(PIP_ADAPTER_INFO list, PULONG size)
{
    if (g_fakeConfigEmpty || g_fakeAdapters.empty()) {
        *size = 0;
        return ERROR_NO_DATA;
    }
    size_t extra = 0;
    for (const FakeAdapter &a : g_fakeAdapters)
        extra += ChainExtra(a.Dhcp) + ChainExtra(a.Gateways);
    ULONG needed = static_cast<ULONG>(g_fakeAdapters.size() * sizeof(IP_ADAPTER_INFO) +
                                      extra * sizeof(IP_ADDR_STRING));
    if (list == nullptr || *size < needed) {
        *size = needed;
        return ERROR_BUFFER_OVERFLOW;
    }
    if (g_fakeConfigSecondFails)
        return ERROR_BUFFER_OVERFLOW;
    memset(list, 0, needed);
    IP_ADDR_STRING *spare = reinterpret_cast<IP_ADDR_STRING *>(list + g_fakeAdapters.size());
    for (size_t i = 0; i < g_fakeAdapters.size(); i++) {
        const FakeAdapter &a = g_fakeAdapters[i];
        IP_ADAPTER_INFO *info = &list[i];
        info->Next = i + 1 < g_fakeAdapters.size() ? &list[i + 1] : nullptr;
        info->DhcpEnabled = a.DhcpEnabled;
        FillChain(&info->DhcpServer, a.Dhcp, &spare);
        info->HaveWins = a.HaveWins;
        FillAddrString(&info->PrimaryWinsServer, a.PrimaryWins);
        FillAddrString(&info->SecondaryWinsServer, a.SecondaryWins);
        FillChain(&info->GatewayList, a.Gateways, &spare);
    }
    return NO_ERROR;
}

}  // namespace

void InstallFakeNet(void)
{
    g_fakeHosts.clear();
    g_addrInfoCalls.clear();
    g_addrInfoLive = 0;
    g_fakeRecords.clear();
    g_fakeDnsStatus = 0;
    g_dnsCalls.clear();
    g_dnsFreeCount = 0;
    g_dnsBadFreeType = 0;
    g_fakeDnsServers.clear();
    g_fakeAdapters.clear();
    g_fakeConfigEmpty = false;
    g_fakeConfigSecondFails = false;

    g_sys.GetAddrInfoW = FakeGetAddrInfoW;
    g_sys.FreeAddrInfoW = FakeFreeAddrInfoW;
    g_sys.DnsQuery_W = FakeDnsQuery;
    g_sys.DnsFree = FakeDnsFree;
    g_sys.GetNetworkParams = FakeGetNetworkParams;
    g_sys.GetAdaptersInfo = FakeGetAdaptersInfo;
    InstallFakeIcmp();
}

void InstallTypicalNetwork(void)
{
    InstallFakeNet();
    g_fakeHosts = {
        {L"dual", AF_INET, "10.8.0.2", L"dual.canon"},
        {L"dual", AF_INET6, "fd00::82", L"dual.canon"},
        {L"v4only", AF_INET, "10.1.1.1", L""},
    };
    g_fakeRecords = {{DNS_TYPE_A, "10.9.9.9"}, {DNS_TYPE_AAAA, "fd00::a"}};
    g_fakeDnsServers = {"10.0.0.1", "10.0.0.2"};
    FakeAdapter dhcp, router;
    dhcp.DhcpEnabled = 1;
    dhcp.Dhcp = {"10.1.0.1"};
    dhcp.HaveWins = 1;
    dhcp.PrimaryWins = "10.2.0.1";
    dhcp.SecondaryWins = "10.2.0.2";
    dhcp.Gateways = {"0.0.0.0"};
    router.Gateways = {"192.168.1.1"};
    g_fakeAdapters = {dhcp, router};
}

std::string AddressText(const SOCKADDR *address)
{
    wchar_t text[128] = {0};
    if (address->sa_family == AF_INET)
        InetNtopW(AF_INET, &reinterpret_cast<const SOCKADDR_IN *>(address)->sin_addr, text, 128);
    else if (address->sa_family == AF_INET6)
        InetNtopW(AF_INET6, &reinterpret_cast<const SOCKADDR_IN6 *>(address)->sin6_addr, text,
                  128);
    else
        return "(family " + std::to_string(address->sa_family) + ")";
    return Ascii(text);
}

std::string IPv4Text(DWORD address)
{
    IN_ADDR in;
    in.s_addr = address;
    wchar_t text[32] = {0};
    InetNtopW(AF_INET, &in, text, 32);
    return Ascii(text);
}

::testing::AssertionResult IsErrorMessage(const std::wstring &message)
{
    std::wstring err = CapturedErr();
    const std::wstring prefix = L"Sonaro plugin: ";
    if (err.compare(0, prefix.size(), prefix) == 0 && err.size() >= prefix.size() + message.size() &&
        err.compare(err.size() - message.size(), message.size(), message) == 0 &&
        err.find(L"\r\n") == err.size() - 2)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "standard error \"" << Escaped(err) << "\" is not the prefix and \""
           << Escaped(message) << "\"";
}
