// versionline.h - the version line the commands print after their usage.
#pragma once

// "\r\n\t\t\t\t%s  %u.%u.%u.%u (%s)\r\n" with the name, version and platform.
int PrintVersionLine(void);
