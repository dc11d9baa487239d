// entrycall.cpp - every call into the plugin, made the way the command
// processor makes it: an exception raised inside an entry is trapped and
// reported, the entry's result then being 2; and in a 32-bit process the
// stack pointer is checked after the entry returned, so an entry declared
// with the wrong arguments or calling convention shows at once.
#include "host/takecmd/hostcontrol.h"
#include "host/takecmd/hostinternal.h"

#include <stdio.h>
#include <string.h>

namespace {

// The call in progress on the host's thread; the exception filter returns
// to it.  Only one call runs at a time: the plugin's entries do not nest
// into each other through the host, except variable functions expanded by a
// command's ExpandVariables, which save and restore it.
struct CallFrame {
    void *jump[5];      // for __builtin_setjmp
    DWORD threadId;
    DWORD code;         // the exception's code
#ifndef _WIN64
    DWORD sehHead;      // the SEH chain to put back after an exception
#endif
};

CallFrame *ActiveCall;
LPTOP_LEVEL_EXCEPTION_FILTER PreviousFilter;
bool FilterInstalled;

LONG WINAPI TrapEntryException(EXCEPTION_POINTERS *info)
{
    CallFrame *frame = ActiveCall;
    if (frame == nullptr || frame->threadId != GetCurrentThreadId())
        return PreviousFilter ? PreviousFilter(info) : EXCEPTION_CONTINUE_SEARCH;
    frame->code = info->ExceptionRecord->ExceptionCode;
    __builtin_longjmp(frame->jump, 1);
}

void WriteError(const wchar_t *text)
{
    HostWrite(GetStdHandle(STD_ERROR_HANDLE), text, wcslen(text));
}

}  // namespace

#ifndef _WIN64
// INT_PTR HostCallStdcall(FARPROC entry, const INT_PTR *args, int count,
//                         int *leftOver)
// Pushes the arguments last first, calls the entry, and puts into *leftOver
// how many bytes the stack pointer stands above (positive) or below
// (negative) where it was before the pushes: 0 when the entry removed
// exactly its arguments.  The stack pointer is restored either way.
extern "C" INT_PTR __cdecl HostCallStdcall(FARPROC, const INT_PTR *, int, int *);
asm(".text\n"
    ".globl _HostCallStdcall\n"
    "_HostCallStdcall:\n"
    "    pushl %ebp\n"
    "    movl %esp, %ebp\n"
    "    pushl %esi\n"
    "    pushl %edi\n"
    "    pushl %ebx\n"
    "    movl 12(%ebp), %esi\n"
    "    movl 16(%ebp), %ecx\n"
    "    movl %esp, %edi\n"
    "1:  testl %ecx, %ecx\n"
    "    jz 2f\n"
    "    pushl -4(%esi,%ecx,4)\n"
    "    decl %ecx\n"
    "    jmp 1b\n"
    "2:  call *8(%ebp)\n"
    "    movl %esp, %ecx\n"
    "    subl %edi, %ecx\n"
    "    movl %edi, %esp\n"
    "    movl 20(%ebp), %edx\n"
    "    movl %ecx, (%edx)\n"
    "    popl %ebx\n"
    "    popl %edi\n"
    "    popl %esi\n"
    "    popl %ebp\n"
    "    ret\n");
#endif

// The call itself; kept apart so that the frame of __builtin_setjmp is one
// that nothing else lives in.
static __attribute__((noinline)) int GuardedCall(CallFrame *frame, FARPROC entry,
                                                  const INT_PTR *args, int count,
                                                  INT_PTR *result, int *leftOver)
{
    *leftOver = 0;
#ifndef _WIN64
    frame->sehHead = __readfsdword(0);
#endif
    if (__builtin_setjmp(frame->jump) != 0) {
#ifndef _WIN64
        // The dispatcher's own registrations below this frame are gone.
        __writefsdword(0, frame->sehHead);
#endif
        return 1;
    }
#ifndef _WIN64
    *result = HostCallStdcall(entry, args, count, leftOver);
#else
    // One calling convention: the arguments go in registers, the caller
    // owns the stack.
    typedef INT_PTR(WINAPI * Entry4)(INT_PTR, INT_PTR, INT_PTR, INT_PTR);
    INT_PTR a[4] = {0, 0, 0, 0};
    for (int i = 0; i < count && i < 4; i++)
        a[i] = args[i];
    *result = reinterpret_cast<Entry4>(reinterpret_cast<void *>(entry))(a[0], a[1], a[2], a[3]);
#endif
    return 0;
}

extern "C" HOSTAPI int WINAPI HostCallEntry(const char *name, FARPROC entry, const INT_PTR *args,
                                            int count, INT_PTR *result)
{
    *result = 0;
    if (count < 0 || count > 4)
        return 3;
    if (!FilterInstalled) {
        PreviousFilter = SetUnhandledExceptionFilter(TrapEntryException);
        FilterInstalled = true;
    }
    CallFrame frame;
    memset(&frame, 0, sizeof frame);
    frame.threadId = GetCurrentThreadId();
    CallFrame *outer = ActiveCall;
    ActiveCall = &frame;
    int leftOver = 0;
    int trapped = GuardedCall(&frame, entry, args, count, result, &leftOver);
    ActiveCall = outer;

    wchar_t message[400];
    if (trapped) {
        *result = 2;
        _snwprintf(message, 399, L"exception 0x%08X in %hs\r\n",
                   static_cast<unsigned>(frame.code), name);
        message[399] = 0;
        WriteError(message);
        return 1;
    }
    if (leftOver != 0) {
        *result = 2;
        _snwprintf(message, 399, L"stack imbalance after %hs: %d bytes\r\n", name,
                   leftOver < 0 ? -leftOver : leftOver);
        message[399] = 0;
        WriteError(message);
        return 2;
    }
    return 0;
}
