// helptest.h - the fixture of the help tests: fakes installed, no viewer, no help variables.
#pragma once

#include "fakeworld.h"
#include "help/newhelp.h"
#include "arch.h"

#include <memory>

// A fake handle as the fake viewer's event log prints it (%p: 8 or 16 digits).
inline std::wstring H(unsigned long long value)
{
    return PointerTextW(value);
}

class HelpTest : public FakeWorldTest {
protected:
    void SetUp() override
    {
        FakeWorldTest::SetUp();
        sonaroHelp_ = std::make_unique<ScopedEnv>(L"SONAROHELP", nullptr);
        pluginHelp_ = std::make_unique<ScopedEnv>(L"PLUGINHELP", nullptr);
    }
    void TearDown() override
    {
        ViewerProcess = nullptr;  // a fake handle: never for the real system
        pluginHelp_.reset();
        sonaroHelp_.reset();
        FakeWorldTest::TearDown();
    }

private:
    std::unique_ptr<ScopedEnv> sonaroHelp_, pluginHelp_;
};

// One event per line, for readable differences.
inline std::wstring Join(const std::vector<std::wstring> &lines)
{
    std::wstring out;
    for (const std::wstring &line : lines)
        out += line + L"\n";
    return out;
}
