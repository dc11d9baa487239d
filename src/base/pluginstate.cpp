// pluginstate.cpp - the plugin-wide state, one instance per process.
#include "base/pluginstate.h"

HMODULE PluginModule;
HMIDIOUT MidiOut;
OSVERSIONINFOW OsVersion;
HANDLE ConsoleOut;

static_assert(sizeof(OSVERSIONINFOW) == 276, "OsVersion is the 276-byte record");
