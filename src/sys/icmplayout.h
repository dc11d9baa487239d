// icmplayout.h - sizes of the ICMP request and reply buffers.
//
// A reply buffer holds one reply record, the echoed data, room for an ICMP
// error message (8 bytes) and the I/O status block the helper keeps there.
// In a 32-bit process, also under WoW64, the records are the 32-bit ones:
// PacketSize + 44 (IPv4: 28-byte record, 8-byte status block) and
// PacketSize + 60 (IPv6: 36-byte record, room for a status block of either
// width).  A 64-bit process needs PacketSize + 64 and + 60.
#pragma once

#include "sys/winhdr.h"

#include <winternl.h>

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

// Room for the ICMP error message a reply buffer may receive instead.
#define ICMP_ERROR_ROOM 8
// Bytes of a reply buffer beyond the packet size.  The IPv6 buffer keeps
// room for the 64-bit status block in both builds.
#define ICMP_REPLY_EXTRA (sizeof(ICMP_ECHO_REPLY) + ICMP_ERROR_ROOM + sizeof(IO_STATUS_BLOCK))
#define ICMP6_REPLY_EXTRA (sizeof(ICMPV6_ECHO_REPLY) + ICMP_ERROR_ROOM + 16)
// Where the echoed data start in an IPv6 reply buffer.
#define ICMP6_REPLY_DATA_OFFSET (sizeof(ICMPV6_ECHO_REPLY))
// The option record that follows the request data.
#define ICMP_OPTION_RECORD_SIZE (sizeof(IP_OPTION_INFORMATION))
