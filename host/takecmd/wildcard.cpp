// wildcard.cpp - the host's wildcard comparison: "*", "?" and "[...]" sets,
// without regard to case.
#include "host/takecmd/hostcontrol.h"

#include <wchar.h>

static wchar_t Fold(wchar_t c)
{
    return static_cast<wchar_t>(reinterpret_cast<ULONG_PTR>(
        CharUpperW(reinterpret_cast<LPWSTR>(static_cast<ULONG_PTR>(c)))));
}

// The set that begins at `p` ("[" ...): whether `c` is in it; `end` gets the
// character after its "]".  A "[" without a closing "]" is no set (false,
// `end` null).  "!" or "^" first negates; "a-z" is a range; a "]" right
// after the opening (or the negation) is a member.
static bool InSet(const wchar_t *p, wchar_t c, const wchar_t **end)
{
    const wchar_t *q = p + 1;
    bool negate = *q == L'!' || *q == L'^';
    if (negate)
        q++;
    bool found = false;
    const wchar_t *first = q;
    wchar_t folded = Fold(c);
    while (*q && (*q != L']' || q == first)) {
        wchar_t low = Fold(*q);
        wchar_t high = low;
        if (q[1] == L'-' && q[2] && q[2] != L']') {
            high = Fold(q[2]);
            q += 2;
        }
        if (low <= folded && folded <= high)
            found = true;
        q++;
    }
    if (*q != L']') {
        *end = nullptr;
        return false;
    }
    *end = q + 1;
    return found != negate;
}

// Whether the pattern element at `p` matches `c`; `next` gets the element
// after it.
static bool MatchOne(const wchar_t *p, wchar_t c, const wchar_t **next)
{
    if (*p == L'?') {
        *next = p + 1;
        return true;
    }
    if (*p == L'[') {
        const wchar_t *end;
        bool in = InSet(p, c, &end);
        if (end) {
            *next = end;
            return in;
        }
    }
    *next = p + 1;
    return Fold(*p) == Fold(c);
}

extern "C" HOSTAPI int WINAPI WildcardComparison(const wchar_t *pattern, const wchar_t *text,
                                                 int, int)
{
    if (pattern == nullptr || text == nullptr)
        return 1;
    const wchar_t *p = pattern;
    const wchar_t *t = text;
    const wchar_t *starPattern = nullptr;  // after the last "*" seen
    const wchar_t *starText = nullptr;     // where that "*" began matching
    while (*t) {
        if (*p == L'*') {
            while (*p == L'*')
                p++;
            starPattern = p;
            starText = t;
            continue;
        }
        const wchar_t *next;
        if (*p && MatchOne(p, *t, &next)) {
            p = next;
            t++;
            continue;
        }
        if (starPattern == nullptr)
            return 1;
        // Let the last "*" take one more character and try again.
        p = starPattern;
        t = ++starText;
    }
    while (*p == L'*')
        p++;
    return *p ? 1 : 0;
}
