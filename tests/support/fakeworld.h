// fakeworld.h - the one fake world of the unit tests.  Each concern is faked
// in one file, its state one object of namespace fake:
//   fakeclock.h    fake::clock    tick count, performance counter, Sleep,
//                                 timer resolution;
//   fakenet.h      fake::net      resolver, DNS client, network configuration;
//   fakeicmp.h     fake::icmp     the ICMP helper, its errors, the default TTL;
//   fakeconsole.h  fake::console  standard output, list output, keys, screen
//                                 buffer, control handlers and events;
//   fakehelp.h     fake::help     files, the viewer process and its windows;
//   fakemidi.h     fake::midi     the MIDI device;
//   fakesound.h    fake::mixer, fake::endpoint  the wave mixer, the audio endpoint;
//   fakeheap.h     fake::heap     malloc and free;
//   fakeregistry.h fake::registry Wine's own, or a value and keys held.
// FakeWorldTest installs the typical world before every test, so a test sets
// only what differs.
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
// list output reset; ConsoleOut is the fake console.  (Tests of the table
// itself use SysTest alone.)
class FakeWorldTest : public SysTest {
protected:
    void SetUp() override;
    void TearDown() override;
};
