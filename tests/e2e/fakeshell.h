// fakeshell.h - hostshell.exe with FakePlugin.dll, the plugin that shows
// what the shell hands it.
#pragma once

#include "shellrun.h"

#include <gtest/gtest.h>

inline std::wstring FakePluginPath()
{
    return BinDirectory() + L"FakePlugin.dll";
}

// RunShell with --plugin FakePlugin.dll first.
inline ShellResult RunFake(std::vector<std::wstring> args, const EnvList &env = {})
{
    args.insert(args.begin(), {L"--plugin", FakePluginPath()});
    return RunShell(args, env);
}

// What the fake plugin writes around every run.
#define FAKE_INIT "init\r\n"
#define FAKE_SHUTDOWN "shutdown 1\r\n"
// ... and when only the plugin is unloaded.
#define FAKE_UNLOAD "shutdown 0\r\n"
