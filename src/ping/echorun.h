// echorun.h - the echo run of SONARO.
#pragma once

#include "ping/pingoptions.h"
#include "ping/statistics.h"

// Pings every host of the options (or DefaultHostname); the command's result:
// 0 some reply was good, 1 none was, 2 a host had no address or set-up failed.
int RunEchoes(PingOptions *options);
