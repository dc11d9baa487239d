// systest.cpp - the SysTest fixture and the captured host output; kept apart
// from the other helpers because it needs the plugin's system-call table,
// which the end-to-end program does not link.
#include "testsupport.h"

void SysTest::SetUp()
{
    SysRestoreAll();
    HostReset();
    HostCaptureClear();
    HostCaptureStart();
}

void SysTest::TearDown()
{
    HostCaptureStop();
    HostCaptureClear();
    HostReset();
    SysRestoreAll();
}

std::wstring CapturedOut()
{
    return HostCapturedOut();
}

std::wstring CapturedErr()
{
    return HostCapturedErr();
}

void ClearCaptured()
{
    HostCaptureClear();
}
