// The statistics block and the five result variables.
#include "fakeworld.h"
#include "ping/statistics.h"

namespace {

struct Variables {
    std::wstring avg, max, min, lost, received;
};

Variables ReadVariables()
{
    Variables v;
    EXPECT_EQ(CallEntry(_pingavg, L"", &v.avg), 0);
    EXPECT_EQ(CallEntry(_pingmax, L"", &v.max), 0);
    EXPECT_EQ(CallEntry(_pingmin, L"", &v.min), 0);
    EXPECT_EQ(CallEntry(_pingslost, L"", &v.lost), 0);
    EXPECT_EQ(CallEntry(_pingsrcvd, L"", &v.received), 0);
    return v;
}

void Tally(DWORD received, DWORD lost, std::initializer_list<DWORD> times)
{
    ResetPingStats();
    PingStats.Received = received;
    PingStats.Lost = lost;
    for (DWORD t : times)
        TallyRoundTrip(t);
}

}  // namespace

using StatisticsTest = FakeWorldTest;

TEST_F(StatisticsTest, BlockWithLossRoundedDown)
{
    struct {
        DWORD received, lost;
        std::initializer_list<DWORD> times;
        const wchar_t *expected;
    } cases[] = {
        { 3, 1, { 1, 2, 2 },
          L"\r\nPing statistics for 10.1.2.3:\r\n"
          L"    Packets: Sent = 4, Received = 3, Lost = 1 (25% loss)\r\n"
          L"Approximate round trip times in milliseconds:\r\n"
          L"    Minimum = 1ms, Maximum = 2ms, Average = 1ms\r\n" },
        { 1, 2, { 7 },
          L"\r\nPing statistics for 10.1.2.3:\r\n"
          L"    Packets: Sent = 3, Received = 1, Lost = 2 (66% loss)\r\n"
          L"Approximate round trip times in milliseconds:\r\n"
          L"    Minimum = 7ms, Maximum = 7ms, Average = 7ms\r\n" },
        { 0, 4, {},
          L"\r\nPing statistics for 10.1.2.3:\r\n"
          L"    Packets: Sent = 4, Received = 0, Lost = 4 (100% loss)\r\n" },
        { 0, 0, {}, L"" },
    };
    for (auto &c : cases) {
        SCOPED_TRACE(TableRow(cases, c));
        ClearCaptured();
        Tally(c.received, c.lost, c.times);
        EXPECT_EQ(ShowPingStatistics(L"10.1.2.3"), 0);
        EXPECT_WTEXT(c.expected, CapturedOut());
    }
}

TEST_F(StatisticsTest, VariablesReadTheTallies)
{
    ResetPingStats();
    Variables fresh = ReadVariables();
    EXPECT_WTEXT(L"00", fresh.avg);
    EXPECT_WTEXT(L"00", fresh.max);
    EXPECT_WTEXT(L"00", fresh.min);
    EXPECT_WTEXT(L"0", fresh.lost);
    EXPECT_WTEXT(L"0", fresh.received);

    Tally(3, 2, { 1, 2, 2 });
    Variables v = ReadVariables();
    EXPECT_WTEXT(L"1", v.avg);
    EXPECT_WTEXT(L"2", v.max);
    EXPECT_WTEXT(L"1", v.min);
    EXPECT_WTEXT(L"2", v.lost);
    EXPECT_WTEXT(L"3", v.received);

    Tally(0, 4, {});
    v = ReadVariables();
    EXPECT_WTEXT(L"00", v.avg);
    EXPECT_WTEXT(L"00", v.min);
    EXPECT_WTEXT(L"4", v.lost);

    EXPECT_EQ(_pingavg(nullptr), -1);
    EXPECT_EQ(_pingmax(nullptr), -1);
    EXPECT_EQ(_pingmin(nullptr), -1);
    EXPECT_EQ(_pingslost(nullptr), -1);
    EXPECT_EQ(_pingsrcvd(nullptr), -1);
}

TEST_F(StatisticsTest, MinimumAndMaximumAreUnsigned)
{
    Tally(2, 0, { 0, 4000000000u });
    EXPECT_EQ(PingStats.MinTime, 0u);
    EXPECT_EQ(PingStats.MaxTime, 4000000000u);
}
