// faultcode.exe - writes to the address given and prints the code of the
// exception the system raises for it.  A page fault is an access violation
// (0xC0000005); a system that cannot tell what trapped (some emulators) may
// raise another.  The shell's trap test expects the code this prints.
//
//   faultcode.exe ADDRESS
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

static LONG WINAPI PrintCode(EXCEPTION_POINTERS *info)
{
    printf("0x%08lX", static_cast<unsigned long>(info->ExceptionRecord->ExceptionCode));
    fflush(stdout);
    ExitProcess(0);
}

int wmain(int argc, wchar_t **argv)
{
    if (argc != 2)
        return 100;
    AddVectoredExceptionHandler(1, PrintCode);
    // The same write as the fake plugin's crashing entries.
    *reinterpret_cast<volatile int *>(static_cast<INT_PTR>(_wtoi(argv[1]))) = 1;
    return 101;
}
