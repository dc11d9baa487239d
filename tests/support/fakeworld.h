// fakeworld.h - the one fake world of the unit tests, installed into the
// system-call table part by part:
//   fakeicmp.h     the ICMP helper: scripted replies of both families, every
//                  request recorded (g_icmp);
//   fakenet.h      the resolver, the DNS client and the network configuration;
//   fakeping.h     a SONARO run's world: the ICMP helper with scripted
//                  echoes, numeric-only resolver, clock, console handlers,
//                  MIDI device, default TTL;
//   fakeconsole.h  the console of list output: key presses, screen buffer,
//                  attributes, clock;
//   fakehelp.h     files, the viewer process and its windows.
// The registry is Wine's own, under the settings key each test clears.
#pragma once

#include "fakeicmp.h"
#include "fakenet.h"
#include "fakeping.h"
#include "fakeconsole.h"
#include "fakehelp.h"
