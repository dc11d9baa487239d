// highlight.h - the highlight colours of a listing.
#pragma once

#include "sys/winhdr.h"

// Fills ColourSlots from the Highlight setting, or leaves them all 0.
void LoadHighlightColours(void);
int ReadHighlightValue(const wchar_t *keyName, wchar_t *buffer, HKEY root);
