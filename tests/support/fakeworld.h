// fakeworld.h - the one fake world of the unit tests.  Each concern is faked
// in one file of this folder (fakeclock, fakenet, fakeicmp, fakeconsole,
// fakehelp, fakemidi, fakesound, fakeheap, fakeregistry), its state one
// object of namespace fake (fake::clock, fake::net, ...).  FakeWorldTest
// installs the typical world before every test, so a test sets only what
// differs.
#pragma once

#include "fakeclock.h"
#include "fakenet.h"
#include "fakeicmp.h"
#include "fakeconsole.h"
#include "fakehelp.h"
#include "fakemidi.h"
#include "fakesound.h"
#include "fakeheap.h"
#include "fakeregistry.h"

#include <initializer_list>

// Puts the typical world in force (every other entry the real function);
// the call counts and the hook stay.
void InstallFakeWorld(void);

// Entries put back to the real functions, or made to fail as the fault
// table has it, for the rest of the test.
void UseReal(std::initializer_list<SysId> ids);
void FailEntry(SysId id);

// The fixture of every unit test: on SysTest's reset of the table and the
// stand-in host, the fake world installed, the settings keys cleared, the
// list output and the interrupt flags reset; ConsoleOut is the fake console,
// and OsVersion and the MIDI handle are restored after.  (Tests of the table
// itself use SysTest alone.)
class FakeWorldTest : public SysTest {
protected:
    void SetUp() override;
    void TearDown() override;
};
