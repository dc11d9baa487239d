// highlight.h - the highlight colours of a listing.
#pragma once

#include "sys/winhdr.h"

// Fills ColourSlots from the Highlight setting, or leaves them all 0.
void LoadHighlightColours(void);
int ReadHighlightValue(const wchar_t *keyName, wchar_t *buffer, HKEY root);

// The highlight attribute that a requested foreground and background (as the
// host's ParseColors gives them: -1 none, background 64 or -1 the current
// one) make on the current colours fg and bg; -1 when they give none.
int ChooseHighlight(int foreground, int background, int fg, int bg);
