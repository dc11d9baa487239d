// pluginstate.h - the plugin-wide state, one instance per process, set at
// load and unload.
#pragma once

#include "sys/winhdr.h"

extern HMODULE PluginModule;
extern HMIDIOUT MidiOut;
extern OSVERSIONINFOW OsVersion;
extern HANDLE ConsoleOut;
