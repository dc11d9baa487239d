// macrostore.h - host macros kept in the registry.
#pragma once

#include "sys/winhdr.h"

int SetNumberedMacro(unsigned number, const wchar_t *text);
int SetNamedMacro(const wchar_t *name, const wchar_t *text);
int LookupNumberedMacro(unsigned number, wchar_t *output);
int LookupNamedMacro(const wchar_t *name, wchar_t *output);
bool IsValidMacroName(const wchar_t *name);
int ExpandHostMacro(const wchar_t *text, wchar_t *output);
