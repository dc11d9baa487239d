// icmplayout.h - sizes of the ICMP request and reply buffers.
//
// A reply buffer holds one reply record, the echoed data and room for an
// ICMP error message (8 bytes) plus slack.  In a 32-bit process that is
// PacketSize + 44 (IPv4: 28-byte record) and PacketSize + 60 (IPv6: 36-byte
// record); the 64-bit records are larger, so the sizes follow the platform's
// structures and come out at exactly those numbers on x86.
#pragma once

#include "sys/winhdr.h"

#include <stddef.h>

// The IPv6 echo reply as Windows lays it out; MinGW's headers lack it and
// pad their IPV6_ADDRESS_EX, which Windows packs to 26 bytes.
#pragma pack(push, 1)
struct IcmpV6AddressEx {
    USHORT sin6_port;
    ULONG sin6_flowinfo;
    USHORT sin6_addr[8];
    ULONG sin6_scope_id;
};
#pragma pack(pop)
static_assert(sizeof(IcmpV6AddressEx) == 26, "packed IPv6 address record");

typedef struct IcmpV6EchoReply {
    IcmpV6AddressEx Address;
    ULONG Status;
    unsigned int RoundTripTime;
} ICMPV6_ECHO_REPLY;

// Bytes of a reply buffer beyond the packet size.
#define ICMP_REPLY_EXTRA (sizeof(ICMP_ECHO_REPLY) + 16)
#define ICMP6_REPLY_EXTRA (sizeof(ICMPV6_ECHO_REPLY) + 24)
// Where the echoed data start in an IPv6 reply buffer.
#define ICMP6_REPLY_DATA_OFFSET (sizeof(ICMPV6_ECHO_REPLY))
// The option record that follows the request data.
#define ICMP_OPTION_RECORD_SIZE (sizeof(IP_OPTION_INFORMATION))
