// ReverseLookup and IsDottedIPv4 against the fake resolver.
#include "fakeworld.h"
#include "resolve/resolve.h"

namespace {

using ReverseLookupTest = FakeWorldTest;

TEST_F(ReverseLookupTest, ReverseLookupAndDottedAddresses)
{
    HostAddress address = {};
    wchar_t name[1025] = L"unchanged";
    EXPECT_EQ(ReverseLookup(&address, name, 1025), 1);
    EXPECT_EQ(ReverseLookup(nullptr, name, 1025), -1);
    EXPECT_EQ(ReverseLookup(&address, nullptr, 1025), -1);

    address.V4.sin_family = AF_INET;
    address.V4.sin_addr.s_addr = inet_addr("127.0.0.1");
    EXPECT_EQ(ReverseLookup(&address, name, 1025), 1);
    EXPECT_WTEXT(L"unchanged", name);
    fake::net.ReverseName = L"loopback.test";
    EXPECT_EQ(ReverseLookup(&address, name, 1025), 0);
    EXPECT_WTEXT(L"loopback.test", name);

    struct { const wchar_t *text; bool dotted; } cases[] = {
        { L"127.0.0.1", true }, { L"10.1.2.3", true }, { L"0.0.0.0", false },
        { L"255.255.255.255", false }, { L"host", false }, { L"", false }, { nullptr, false },
    };
    for (auto &c : cases)
        EXPECT_EQ(IsDottedIPv4(c.text), c.dotted) << (c.text ? Narrow(c.text) : "null");
}

}  // namespace
