// fakeheap.cpp - malloc and free of the fake world, and blocks and buffers
// that end at a no-access page.
#include "fakeheap.h"
#include "sys/syscalls.h"

#include <string.h>
#include <unordered_map>
#include <unordered_set>

namespace fake {

Heap heap;

namespace {

const size_t Page = 4096;
const unsigned char TailFill = 0xFD;
// What malloc promises: room for any object the plugin stores.
const size_t Alignment = 2 * sizeof(void *);

struct Block {
    void *Base;     // the reservation
    size_t Size;    // bytes asked for
    size_t Slack;   // fill bytes between the block and the no-access page
};

std::unordered_map<void *, Block> &Blocks()
{
    static std::unordered_map<void *, Block> blocks;
    return blocks;
}

std::string faults;
std::unordered_set<void *> plainBlocks;

size_t RoundUp(size_t value, size_t unit)
{
    return (value + unit - 1) / unit * unit;
}

// Pages for `bytes` with a no-access page after them (and one before them
// when asked); the address of the first byte after the accessible part.
char *ReserveBefore(size_t bytes, bool guardBefore, void **base)
{
    size_t body = RoundUp(bytes == 0 ? 1 : bytes, Page);
    size_t lead = guardBefore ? Page : 0;
    char *start = static_cast<char *>(
        VirtualAlloc(nullptr, lead + body + Page, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    if (start == nullptr)
        return nullptr;
    DWORD old;
    if (guardBefore)
        VirtualProtect(start, Page, PAGE_NOACCESS, &old);
    VirtualProtect(start + lead + body, Page, PAGE_NOACCESS, &old);
    *base = start;
    return start + lead + body;
}

void *__cdecl GuardedMalloc(size_t size)
{
    void *base = nullptr;
    size_t rounded = RoundUp(size == 0 ? 1 : size, Alignment);
    char *end = ReserveBefore(rounded, false, &base);
    if (end == nullptr)
        return nullptr;
    char *block = end - rounded;
    memset(block + size, TailFill, rounded - size);
    Blocks()[block] = Block{base, size, rounded - size};
    return block;
}

void __cdecl GuardedFree(void *block)
{
    if (block == nullptr)
        return;
    auto found = Blocks().find(block);
    if (found == Blocks().end()) {
        faults += "free of a pointer malloc never gave; ";
        return;
    }
    const Block &record = found->second;
    const unsigned char *tail = static_cast<unsigned char *>(block) + record.Size;
    for (size_t i = 0; i < record.Slack; i++)
        if (tail[i] != TailFill) {
            faults += "a block of " + std::to_string(record.Size) + " bytes written past its end; ";
            break;
        }
    VirtualFree(record.Base, 0, MEM_RELEASE);
    Blocks().erase(found);
}

void *__cdecl FakeMalloc(size_t size)
{
    heap.Mallocs++;
    if (heap.Mallocs == heap.FailMallocAt || (heap.FailSize != 0 && size == heap.FailSize))
        return nullptr;
    if (heap.Guarded)
        return GuardedMalloc(size);
    void *block = g_sysDefault.malloc(size);
    if (block != nullptr)
        plainBlocks.insert(block);
    return block;
}

void __cdecl FakeFree(void *block)
{
    if (heap.Guarded || Blocks().count(block) != 0) {
        GuardedFree(block);
        return;
    }
    plainBlocks.erase(block);
    g_sysDefault.free(block);
}

}  // namespace

void InstallHeap(void)
{
    heap = Heap();
    plainBlocks.clear();
    g_sys.malloc = FakeMalloc;
    g_sys.free = FakeFree;
}

long LiveBlocks(void)
{
    return static_cast<long>(heap.Guarded ? Blocks().size() : plainBlocks.size());
}

std::string TakeHeapFaults(void)
{
    std::string taken;
    taken.swap(faults);
    return taken;
}

}  // namespace fake

GuardedText::GuardedText(size_t chars) : base_(nullptr), text_(nullptr), chars_(chars)
{
    size_t bytes = chars * sizeof(wchar_t);
    char *end = fake::ReserveBefore(bytes, bytes % fake::Page == 0, &base_);
    if (end != nullptr)
        text_ = reinterpret_cast<wchar_t *>(end - bytes);
}

GuardedText::~GuardedText()
{
    if (base_ != nullptr)
        VirtualFree(base_, 0, MEM_RELEASE);
}

void GuardedText::Fill(const std::wstring &text)
{
    size_t n = text.size() < chars_ ? text.size() : chars_;
    memcpy(text_, text.data(), n * sizeof(wchar_t));
    if (n < chars_)
        text_[n] = 0;
}
