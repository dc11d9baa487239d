// macrocommand.h - the SONAROMACRO command and its option table.
#pragma once

#include "base/identity.h"
#include "args/options.h"

struct MacroCommand;

// One option of SONAROMACRO.  Apply gives -1 to go on with the next
// argument, else the command's result.
struct MacroOption {
    const wchar_t *Letters;
    OptionForm Form;
    int (*Apply)(MacroCommand *command, wchar_t *argument);
};

extern const MacroOption MacroOptionTable[];
extern const size_t MacroOptionCount;

SONARO_EXPORT int WINAPI sonaromacro(wchar_t *arguments);
