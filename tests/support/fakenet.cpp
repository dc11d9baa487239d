// fakenet.cpp - WSAStartup, the fake resolver, DNS client and network configuration.
#include "fakenet.h"

#include <algorithm>
#include <string.h>

namespace fake {

Net net;

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

// The lists the fake built (the others come from the real resolver).
std::vector<ADDRINFOW *> fakeLists;

bool IsRealList(ADDRINFOW *list)
{
    auto found = std::find(fakeLists.begin(), fakeLists.end(), list);
    if (found == fakeLists.end())
        return true;
    fakeLists.erase(found);
    return false;
}

// Numeric addresses and localhost resolve for real; any other name is
// unknown, so no test asks a name server.
INT RealNumeric(PCWSTR name, const ADDRINFOW *hints, PADDRINFOW *result)
{
    if (name == nullptr)
        return WSAHOST_NOT_FOUND;
    ADDRINFOW numeric;
    memset(&numeric, 0, sizeof numeric);
    if (hints != nullptr)
        numeric = *hints;
    if (_wcsicmp(name, L"localhost") != 0)
        numeric.ai_flags |= AI_NUMERICHOST;
    INT rc = g_sysDefault.GetAddrInfoW(name, nullptr, &numeric, result);
    if (rc == 0)
        net.AddrInfoLive++;
    return rc;
}

INT WSAAPI FakeGetAddrInfoW(PCWSTR name, PCWSTR service, const ADDRINFOW *hints,
                            PADDRINFOW *result)
{
    EXPECT_EQ(service, nullptr);
    EXPECT_NE(hints, nullptr);
    int family = hints ? hints->ai_family : 0;
    net.AddrInfoCalls.push_back({name ? name : L"(null)", family, hints ? hints->ai_flags : -1});
    if (hints) {
        EXPECT_EQ(hints->ai_socktype, 0);
        EXPECT_EQ(hints->ai_protocol, 0);
    }
    ADDRINFOW *head = nullptr;
    ADDRINFOW **tail = &head;
    for (const Host &host : net.Hosts) {
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
        return net.Numeric ? RealNumeric(name, hints, result) : WSAHOST_NOT_FOUND;
    net.AddrInfoLive++;
    fakeLists.push_back(head);
    *result = head;
    return 0;
}

VOID WSAAPI FakeFreeAddrInfoW(PADDRINFOW list)
{
    net.AddrInfoLive--;
    if (list != nullptr && IsRealList(list)) {
        g_sysDefault.FreeAddrInfoW(list);
        return;
    }
    while (list) {
        ADDRINFOW *next = list->ai_next;
        delete reinterpret_cast<SOCKADDR_IN6 *>(list->ai_addr);
        delete[] list->ai_canonname;
        delete list;
        list = next;
    }
}

int WSAAPI FakeWSAStartup(WORD version, LPWSADATA data)
{
    net.WinsockVersion = version;
    if (net.WinsockFails)
        return WSASYSNOTREADY;
    return g_sysDefault.WSAStartup(version, data);
}

// --- DNS ----------------------------------------------------------------------

INT WSAAPI FakeGetNameInfoW(const SOCKADDR *, socklen_t length, PWCHAR node, DWORD nodeSize,
                             PWCHAR, DWORD, INT flags)
{
    EXPECT_EQ(length, 28);
    EXPECT_EQ(flags, 0);
    if (net.ReverseName.empty())
        return WSAHOST_NOT_FOUND;
    lstrcpynW(node, net.ReverseName.c_str(), static_cast<int>(nodeSize));
    return 0;
}

DNS_STATUS WINAPI FakeDnsQuery(PCWSTR name, WORD type, DWORD options, PIP4_ARRAY servers,
                               PDNS_RECORD *results, PVOID *reserved)
{
    net.DnsCalls.push_back({name ? name : L"(null)", type, options});
    EXPECT_EQ(servers, nullptr);
    EXPECT_EQ(reserved, nullptr);
    if (net.DnsStatus != 0)
        return net.DnsStatus;
    if (net.Records.empty()) {
        *results = nullptr;
        return DNS_INFO_NO_RECORDS;
    }
    DNS_RECORDW *records = new DNS_RECORDW[net.Records.size()]();
    for (size_t i = 0; i < net.Records.size(); i++) {
        records[i].wType = net.Records[i].Type;
        if (net.Records[i].Type == DNS_TYPE_AAAA)
            ParseV6(net.Records[i].Address,
                    reinterpret_cast<IN6_ADDR *>(&records[i].Data.AAAA.Ip6Address));
        else
            ParseV4(net.Records[i].Address, reinterpret_cast<IN_ADDR *>(&records[i].Data.A));
        records[i].pNext = i + 1 < net.Records.size() ? &records[i + 1] : nullptr;
    }
    *results = records;
    return 0;
}

VOID WINAPI FakeDnsFree(PVOID data, DNS_FREE_TYPE type)
{
    net.DnsFrees++;
    if (type != DnsFreeRecordList)
        net.DnsBadFreeType++;
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
    if (net.ConfigEmpty) {
        *size = 0;
        return ERROR_NO_DATA;
    }
    ULONG needed = static_cast<ULONG>(sizeof(FIXED_INFO) +
                                      ChainExtra(net.DnsServers) * sizeof(IP_ADDR_STRING));
    if (info == nullptr || *size < needed) {
        *size = needed;
        return ERROR_BUFFER_OVERFLOW;
    }
    if (net.ConfigSecondFails)
        return ERROR_BUFFER_OVERFLOW;
    memset(info, 0, needed);
    IP_ADDR_STRING *spare = reinterpret_cast<IP_ADDR_STRING *>(info + 1);
    FillChain(&info->DnsServerList, net.DnsServers, &spare);
    return NO_ERROR;
}

DWORD WINAPI FakeGetAdaptersInfo(PIP_ADAPTER_INFO list, PULONG size)
{
    if (net.ConfigEmpty || net.Adapters.empty()) {
        *size = 0;
        return ERROR_NO_DATA;
    }
    size_t extra = 0;
    for (const Adapter &a : net.Adapters)
        extra += ChainExtra(a.Dhcp) + ChainExtra(a.Gateways);
    ULONG needed = static_cast<ULONG>(net.Adapters.size() * sizeof(IP_ADAPTER_INFO) +
                                      extra * sizeof(IP_ADDR_STRING));
    if (list == nullptr || *size < needed) {
        *size = needed;
        return ERROR_BUFFER_OVERFLOW;
    }
    if (net.ConfigSecondFails)
        return ERROR_BUFFER_OVERFLOW;
    memset(list, 0, needed);
    IP_ADDR_STRING *spare = reinterpret_cast<IP_ADDR_STRING *>(list + net.Adapters.size());
    for (size_t i = 0; i < net.Adapters.size(); i++) {
        const Adapter &a = net.Adapters[i];
        IP_ADAPTER_INFO *info = &list[i];
        info->Next = i + 1 < net.Adapters.size() ? &list[i + 1] : nullptr;
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

void InstallNet(void)
{
    net = Net();
    g_sys.GetAddrInfoW = FakeGetAddrInfoW;
    g_sys.FreeAddrInfoW = FakeFreeAddrInfoW;
    g_sys.DnsQuery_W = FakeDnsQuery;
    g_sys.DnsFree = FakeDnsFree;
    g_sys.GetNetworkParams = FakeGetNetworkParams;
    g_sys.GetAdaptersInfo = FakeGetAdaptersInfo;
    g_sys.GetNameInfoW = FakeGetNameInfoW;
    g_sys.WSAStartup = FakeWSAStartup;
}

void TypicalNetwork(void)
{
    net.Hosts = {
        {L"dual", AF_INET, "10.8.0.2", L"dual.canon"},
        {L"dual", AF_INET6, "fd00::82", L"dual.canon"},
        {L"v4only", AF_INET, "10.1.1.1", L""},
    };
    net.Records = {{DNS_TYPE_A, "10.9.9.9"}, {DNS_TYPE_AAAA, "fd00::a"}};
    net.DnsServers = {"10.0.0.1", "10.0.0.2"};
    Adapter dhcp, router;
    dhcp.DhcpEnabled = 1;
    dhcp.Dhcp = {"10.1.0.1"};
    dhcp.HaveWins = 1;
    dhcp.PrimaryWins = "10.2.0.1";
    dhcp.SecondaryWins = "10.2.0.2";
    dhcp.Gateways = {"0.0.0.0"};
    router.Gateways = {"192.168.1.1"};
    net.Adapters = {dhcp, router};
}

}  // namespace fake

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
    return fake::Ascii(text);
}

std::string IPv4Text(DWORD address)
{
    IN_ADDR in;
    in.s_addr = address;
    wchar_t text[32] = {0};
    InetNtopW(AF_INET, &in, text, 32);
    return fake::Ascii(text);
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
