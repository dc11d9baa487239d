// pingcommand.cpp - the SONARO entry: defaults, options, then the run.
#include "ping/pingoptions.h"
#include "ping/echorun.h"
#include "ping/interrupt.h"
#include "base/identity.h"
#include "base/pluginstate.h"
#include "base/sharedmidi.h"
#include "console/conlist.h"

SONARO_EXPORT int WINAPI sonaro(wchar_t *line)
{
    if (line == nullptr)
        return -1;

    static PingOptions options;
    LoadPingDefaults(&options);
    InterruptFlags = 0;
    Silent = false;
    if (MidiOut == nullptr || MidiDisabled())
        Silent = true;

    // Nothing this command prints may stop at a page prompt.
    ResetListOutput();

    ParseArgs(PARSE_BLANKS | PARSE_SWITCHES, line);
    int result = 1;
    if (!ApplyPingOptions(&options, &result))
        return result;
    return RunEchoes(&options);
}
