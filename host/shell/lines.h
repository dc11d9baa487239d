// lines.h - one line of the shell and what running it leaves behind.
#pragma once

#include "host/shell/plugin.h"

struct LineOutcome {
    bool setsResult = false;  // a plugin command, an unknown one, a failed line
    int result = 0;
    bool exit = false;        // "exit": stop running lines
};
LineOutcome RunLine(PluginSet &plugins, const wchar_t *line);
