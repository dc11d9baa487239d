// fuzzinput.h - the fuzzer's inputs: argument texts and registry contents,
// each drawn from a random stream of its own so that any input can be made
// again from the seed and its number alone.
#pragma once

#include <stddef.h>
#include <string>

struct Random {
    unsigned long long State;
    explicit Random(unsigned long long seed) : State(seed) {}
    unsigned long long Next()
    {
        // splitmix64
        unsigned long long z = (State += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    unsigned Below(unsigned n) { return static_cast<unsigned>(Next() % n); }
    bool Chance(unsigned percent) { return Below(100) < percent; }
    template <typename T, size_t N> const T &Pick(const T (&items)[N]) { return items[Below(N)]; }
};

// The seed of stream `index` of a kind (salt) under the campaign's seed.
unsigned long long StreamSeed(unsigned long long seed, unsigned long long index, unsigned salt);

// An argument text of at most `capacity` characters: tokens (the entry's own
// words, common words, numbers at and beyond every limit, random and very
// long words) and separators, perhaps mutated, perhaps padded to a length
// around a capacity.  A host buffer (`terminated` false) may be filled to
// the capacity with no terminator; a command line (`terminated` true) is
// always shorter than its capacity, and may run well past 8192 characters.
std::wstring ArgumentText(Random *random, const wchar_t *const *words, size_t capacity,
                          bool terminated);

// New contents for the plugin's keys: settings and Highlight values under
// both hives and host macros, of every value type, empty and oversized, with
// and without terminators, names in any case.
void RandomRegistry(Random *random, const wchar_t *const *words);
// Removes everything RandomRegistry wrote.
void ClearFuzzRegistry(void);
