// ctrlevent.exe - runs a program in this console and, after a delay, delivers
// a console control event to it the way the system does: a new thread in the
// program that runs the console control routine with the event.  A terminal
// cannot send Control-Break, so the terminal tests use this for it.
//
//   ctrlevent.exe [--output FILE] DELAY-MS EVENT PROGRAM [ARGUMENT]...
//
// EVENT -1 delivers nothing.  --output sends the program's standard output
// to FILE.  The exit status is the program's, or 100 and up for the helper's
// own failures.
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

// Console events for the program are not this helper's business.
static BOOL WINAPI KeepRunning(DWORD)
{
    return TRUE;
}

int wmain(int argc, wchar_t **argv)
{
    int first = 1;
    const wchar_t *output = nullptr;
    if (argc > 2 && wcscmp(argv[1], L"--output") == 0) {
        output = argv[2];
        first = 3;
    }
    if (argc < first + 3)
        return 100;
    DWORD delay = wcstoul(argv[first], nullptr, 10);
    long event = wcstol(argv[first + 1], nullptr, 10);
    std::wstring line;
    for (int i = first + 2; i < argc; i++) {
        if (i > first + 2)
            line += L' ';
        AppendQuoted(line, argv[i]);
    }
    SetConsoleCtrlHandler(KeepRunning, TRUE);

    STARTUPINFOW startup;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    if (output != nullptr) {
        SECURITY_ATTRIBUTES inherit = { sizeof inherit, nullptr, TRUE };
        HANDLE file = CreateFileW(output, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  &inherit, CREATE_ALWAYS, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return 103;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        startup.hStdOutput = file;
        startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    }
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
    if (event >= 0 && WaitForSingleObject(process.hProcess, delay) == WAIT_TIMEOUT) {
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
