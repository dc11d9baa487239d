// The run's console control handler: which events it takes and which bits it sets.
#include "fakeworld.h"
#include "ping/interrupt.h"

namespace {

class InterruptTest : public FakeWorldTest {};

TEST_F(InterruptTest, ControlHandlerSetsOnlyItsBits)
{
    InterruptFlags = 0;
    EXPECT_TRUE(PingCtrlHandler(CTRL_C_EVENT));
    EXPECT_EQ(InterruptFlags, INTERRUPT_CTRL_C);
    EXPECT_TRUE(PingCtrlHandler(CTRL_BREAK_EVENT));
    EXPECT_EQ(InterruptFlags, INTERRUPT_CTRL_C | INTERRUPT_CTRL_BREAK);
    InterruptFlags = 0;
    EXPECT_FALSE(PingCtrlHandler(CTRL_CLOSE_EVENT));
    EXPECT_FALSE(PingCtrlHandler(CTRL_LOGOFF_EVENT));
    EXPECT_EQ(InterruptFlags, 0);
}

}  // namespace
