// fakeheap.h - the heap of the fake world: malloc and free, every block
// counted, a chosen allocation failing; and memory that faults at the first
// access outside it, for the fuzzing of the plugin's entries.
//
// A guarded block ends where a no-access page begins, so a write (or read)
// one byte past its end faults at once.  The few bytes that alignment leaves
// between the block and the page are filled with a pattern that is checked
// when the block is freed.
#pragma once

#include <stddef.h>
#include <string>

namespace fake {

struct Heap {
    int Mallocs = 0;            // malloc calls
    int FailMallocAt = 0;       // this call (1-based) returns null; 0: none
    size_t FailSize = 0;        // every request of this size fails; 0: none
    bool Guarded = false;       // blocks served from guard pages
};
extern Heap heap;

// Resets heap and installs malloc and free.
void InstallHeap(void);
// Blocks handed out and not yet freed.
long LiveBlocks(void);
// Faults seen by free of a guarded heap (a pointer it never gave out, a
// damaged tail); empty while none.  Clears the record.
std::string TakeHeapFaults(void);

}  // namespace fake

// A text buffer of `chars` wide characters whose last character lies right
// before a no-access page.  When the size is a whole number of pages, the
// page before the buffer is no-access as well.
class GuardedText {
public:
    explicit GuardedText(size_t chars);
    ~GuardedText();
    GuardedText(const GuardedText &) = delete;
    GuardedText &operator=(const GuardedText &) = delete;
    wchar_t *Data() const { return text_; }
    size_t Chars() const { return chars_; }
    // Copies the text in; when it is shorter than the buffer a terminator
    // follows it, otherwise the buffer holds its first Chars() characters
    // and no terminator.
    void Fill(const std::wstring &text);
private:
    void *base_;
    wchar_t *text_;
    size_t chars_;
};
