// pluginstate.cpp - the plugin-wide state, one instance per process.
#include "base/plugin.h"

HMODULE PluginModule;
HMIDIOUT MidiOut;
OSVERSIONINFOW OsVersion;
HANDLE ConsoleOut;

static_assert(sizeof(OSVERSIONINFOW) == 276, "OsVersion is the 276-byte record");
