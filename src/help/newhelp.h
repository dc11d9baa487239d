// newhelp.h - finding the help file and starting and driving the viewer.
#pragma once

#include "sys/winhdr.h"

// The viewer started last, or null.
extern HANDLE ViewerProcess;

int OpenHelp(const wchar_t *topic, const wchar_t *searchText, int tab);
int TryHelpFile(const wchar_t *candidate, const wchar_t *topic, int tab, const wchar_t *searchText);
int DriveHelpViewer(DWORD processId, int tab, HANDLE process, const wchar_t *searchText);
void CloseHelpViewer(void);
// Writes the topic for a command, @function or _variable name (capacity 1024).
int HelpTopicForName(const wchar_t *name, wchar_t *topic);
