// layouts.cpp - the Windows record layouts the plugin depends on.
//
// The request buffer carries an IP option record right after the data, and
// the reply buffers are sized from the reply records; in a 32-bit process
// these are the sizes the buffers are laid out for.  The 64-bit build takes
// the platform's own records (see icmplayout.h).
#include "sys/icmplayout.h"

#ifndef _WIN64
static_assert(sizeof(IP_OPTION_INFORMATION) == 8, "IP option record is 8 bytes");
static_assert(offsetof(IP_OPTION_INFORMATION, Ttl) == 0, "Ttl at byte 0");
static_assert(offsetof(IP_OPTION_INFORMATION, Tos) == 1, "Tos at byte 1");
static_assert(offsetof(IP_OPTION_INFORMATION, Flags) == 2, "Flags at byte 2");
static_assert(offsetof(IP_OPTION_INFORMATION, OptionsSize) == 3, "OptionsSize at byte 3");
static_assert(offsetof(IP_OPTION_INFORMATION, OptionsData) == 4, "OptionsData at byte 4");
static_assert(sizeof(ICMP_ECHO_REPLY) == 28, "ICMP_ECHO_REPLY is 28 bytes");
static_assert(sizeof(ICMPV6_ECHO_REPLY) == 36, "ICMPV6_ECHO_REPLY is 36 bytes");
static_assert(sizeof(IO_STATUS_BLOCK) == 8, "I/O status block is 8 bytes");
static_assert(ICMP_REPLY_EXTRA == 44 && ICMP6_REPLY_EXTRA == 60, "reply buffer sizes");
#else
static_assert(sizeof(ICMP_ECHO_REPLY) == 40, "ICMP_ECHO_REPLY is 40 bytes");
static_assert(sizeof(IO_STATUS_BLOCK) == 16, "I/O status block is 16 bytes");
static_assert(ICMP_REPLY_EXTRA == 64 && ICMP6_REPLY_EXTRA == 60, "reply buffer sizes");
#endif
static_assert(offsetof(ICMPV6_ECHO_REPLY, Status) == 28, "Status at byte 28");
static_assert(offsetof(ICMPV6_ECHO_REPLY, RoundTripTime) == 32, "RoundTripTime at byte 32");
static_assert(sizeof(ICMPV6_ECHO_REPLY) == ICMP6_REPLY_DATA_OFFSET, "echoed IPv6 data follows the record");
