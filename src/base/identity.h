// identity.h - who the plugin is: its name, version and platform tag, and
// how its entries are exported.
#pragma once

#include "version.h"

// Exported entries: plain C names, standard calling convention.  The x86
// link strips the "@n" decoration (see CMakeLists.txt).
#define SONARO_EXPORT extern "C" __declspec(dllexport)

#define SONARO_NAME L"Sonaro"
#ifdef _WIN64
#define SONARO_ARCH_TAG L"x64"
#else
#define SONARO_ARCH_TAG L"x86"
#endif
