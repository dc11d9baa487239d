// FormatHostAddress: the platform's text of an address of either family.
#include "fakeworld.h"
#include "base/hostaddress.h"

#include <string.h>

namespace {

class FormatHostAddressTest : public FakeWorldTest {};

TEST_F(FormatHostAddressTest, PlatformText)
{
    HostAddress address;
    wchar_t text[128];
    EXPECT_EQ(FormatHostAddress(nullptr, text, 128), -1);
    memset(&address, 0, sizeof address);
    EXPECT_EQ(FormatHostAddress(&address, nullptr, 128), -1);

    wcscpy(text, L"untouched");
    EXPECT_EQ(FormatHostAddress(&address, text, 128), 1);
    address.Generic.sa_family = AF_INET6 + 1;
    EXPECT_EQ(FormatHostAddress(&address, text, 128), 1);
    EXPECT_WTEXT(L"untouched", text);

    memset(&address, 0, sizeof address);
    address.V4.sin_family = AF_INET;
    address.V4.sin_addr.s_addr = htonl(0xC0A80101);
    EXPECT_EQ(FormatHostAddress(&address, text, 128), 0);
    EXPECT_WTEXT(L"192.168.1.1", text);

    memset(&address, 0, sizeof address);
    address.V6.sin6_family = AF_INET6;
    address.V6.sin6_addr.s6_addr[15] = 1;
    EXPECT_EQ(FormatHostAddress(&address, text, 128), 0);
    EXPECT_WTEXT(L"::1", text);

    address.V6.sin6_addr.s6_addr[0] = 0xfe;
    address.V6.sin6_addr.s6_addr[1] = 0x80;
    address.V6.sin6_scope_id = 3;
    EXPECT_EQ(FormatHostAddress(&address, text, 128), 0);
    EXPECT_WTEXT(L"fe80::1%3", text);
}

}  // namespace
