// ctrlevent.exe - runs a program in this console and, after a delay, delivers
// a console control event to it the way the system does: a new thread in the
// program that runs the console control routine with the event.  A terminal
// cannot send Control-Break, so the terminal tests use this for it.
//
//   ctrlevent.exe DELAY-MS EVENT PROGRAM [ARGUMENT]...
//
// The exit status is the program's, or 100 and up for the helper's own
// failures.
#include <windows.h>

#include <string>

static void AppendQuoted(std::wstring &line, const wchar_t *arg)
{
    line += L'"';
    for (const wchar_t *p = arg; *p; p++) {
        if (*p == L'"')
            line += L'\\';
        line += *p;
    }
    line += L'"';
}

int wmain(int argc, wchar_t **argv)
{
    if (argc < 4)
        return 100;
    DWORD delay = wcstoul(argv[1], nullptr, 10);
    DWORD event = wcstoul(argv[2], nullptr, 10);
    std::wstring line;
    for (int i = 3; i < argc; i++) {
        if (i > 3)
            line += L' ';
        AppendQuoted(line, argv[i]);
    }

    STARTUPINFOW startup;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                        &process))
        return 101;

    // The routine the system runs for a console event, at the same address
    // in every process.
    FARPROC found = GetProcAddress(GetModuleHandleW(L"kernelbase.dll"), "CtrlRoutine");
    if (found == nullptr)
        found = GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "CtrlRoutine");
    auto routine = reinterpret_cast<LPTHREAD_START_ROUTINE>(reinterpret_cast<void *>(found));
    int status = 0;
    if (WaitForSingleObject(process.hProcess, delay) == WAIT_TIMEOUT) {
        HANDLE thread = routine == nullptr
                            ? nullptr
                            : CreateRemoteThread(process.hProcess, nullptr, 0, routine,
                                                 reinterpret_cast<LPVOID>(static_cast<UINT_PTR>(event)),
                                                 0, nullptr);
        if (thread == nullptr)
            status = 102;
        else
            CloseHandle(thread);
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return status != 0 ? status : static_cast<int>(code);
}
