// memstat.cpp - the shell's "memstat" line: what the process holds, so that
// a long run of plugin calls can be checked for leaks from outside.
//
//   handles 41 heap 123456 blocks 789
//
// handles: the process's open handles; heap and blocks: bytes and count of
// the blocks in use on all of the process's heaps.
#include "host/shell/memstat.h"
#include "host/takecmd/hostcontrol.h"

#include <vector>

static void AddHeap(HANDLE heap, unsigned long long &bytes, unsigned long &blocks)
{
    if (!HeapLock(heap))
        return;
    PROCESS_HEAP_ENTRY entry = {};
    while (HeapWalk(heap, &entry)) {
        if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) {
            bytes += entry.cbData;
            blocks++;
        }
    }
    HeapUnlock(heap);
}

// Open handles, counted by asking after every possible handle value: Wine
// gives no count through GetProcessHandleCount, and handle values are
// multiples of 4 well below this limit in a process of this size.
static DWORD CountHandles(void)
{
    DWORD handles = 0;
    if (GetProcessHandleCount(GetCurrentProcess(), &handles) && handles > 0)
        return handles;
    handles = 0;
    for (ULONG_PTR value = 4; value < 0x40000; value += 4) {
        DWORD flags;
        if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags))
            handles++;
    }
    return handles;
}

void ShowMemoryState(void)
{
    DWORD handles = CountHandles();
    std::vector<HANDLE> heaps(64);
    DWORD count = GetProcessHeaps(static_cast<DWORD>(heaps.size()), heaps.data());
    if (count > heaps.size()) {
        heaps.resize(count);
        count = GetProcessHeaps(count, heaps.data());
    }
    unsigned long long bytes = 0;
    unsigned long blocks = 0;
    for (DWORD i = 0; i < count && i < heaps.size(); i++)
        AddHeap(heaps[i], bytes, blocks);
    Printf(L"handles %lu heap %I64u blocks %lu\r\n", handles, bytes, blocks);
}
