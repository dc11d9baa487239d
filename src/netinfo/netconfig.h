// netconfig.h - the machine's configured IPv4 servers and the network keywords.
#pragma once

#include "sys/winhdr.h"

// "#router", "#gw", "#dns", "#dhcp", "#wins", in the order they are tried.
// The macro store reserves the same words (without the "#").
#define NETWORK_KEYWORD_COUNT 5
extern const wchar_t *const NetworkKeywords[NETWORK_KEYWORD_COUNT];

// Index n >= 1: the n-th usable address (network byte order), 0 when there
// are fewer.  Index 0: how many usable addresses there are.
DWORD LookupDnsServer(DWORD index);
DWORD LookupDhcpServer(DWORD index);
DWORD LookupWinsServer(DWORD index);
DWORD LookupGateway(DWORD index);

// 0 no match; 1 to 9 the index the argument selects ("#dns" 1, "#dns3" 3).
int MatchKeyword(const wchar_t *keyword, const wchar_t *argument);

// Fills the IPv4 record (family 2, port 0, address) when the text is a
// network keyword whose server is known.  The IPv6 record must be given
// but is never written.  -1 a pointer missing; 0 empty text or nothing
// filled; 1 the IPv4 record holds an address.
int ExpandNetworkKeyword(const wchar_t *hostText, SOCKADDR_IN *ipv4Candidate,
                         const SOCKADDR_IN6 *ipv6Candidate);
