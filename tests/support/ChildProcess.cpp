#include "support/ChildProcess.h"

#include <algorithm>

#include "core/ScopedHandle.h"

std::wstring ChildRole()
{
    wchar_t role[64] = {};
    GetEnvironmentVariableW(L"QB_CHILD_ROLE", role, 64);
    return role;
}

DWORD RunProgram(std::wstring commandLine, std::wstring* environment)
{
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, CREATE_UNICODE_ENVIRONMENT,
                        environment ? environment->data() : nullptr, nullptr, &startup, &info))
        return 1000;
    const KernelHandle process(info.hProcess), thread(info.hThread);
    DWORD code = 1001;
    if (WaitForSingleObject(process.Get(), 60000) == WAIT_OBJECT_0)
        GetExitCodeProcess(process.Get(), &code);
    return code;
}

DWORD RunThisProgramAsChild(const std::wstring& test, const std::wstring& role, std::vector<std::wstring> dropped)
{
    // QB_OTHER_PROGRAM names this program's build for the other bitness, for two browser processes side by side.
    wchar_t program[MAX_PATH];
    if (!GetEnvironmentVariableW(L"QB_OTHER_PROGRAM", program, MAX_PATH))
        GetModuleFileNameW(nullptr, program, MAX_PATH);
    // The run's own records (premature-exit file, XML report) belong to the first process only.
    dropped.insert(dropped.end(), {L"QB_CHILD_ROLE", L"TEST_PREMATURE_EXIT_FILE", L"GTEST_OUTPUT"});
    std::wstring environment = L"QB_CHILD_ROLE=" + role;
    environment.push_back(L'\0');
    const wchar_t* block = GetEnvironmentStringsW();
    for (const wchar_t* entry = block; *entry; entry += wcslen(entry) + 1)
        if (std::ranges::none_of(
                dropped, [&](const std::wstring& name)
                { return _wcsnicmp(entry, name.c_str(), name.size()) == 0 && entry[name.size()] == L'='; }))
            environment.append(entry).push_back(L'\0');
    FreeEnvironmentStringsW(const_cast<wchar_t*>(block));
    environment.push_back(L'\0');
    return RunProgram(L"\"" + std::wstring(program) + L"\" --gtest_filter=" + test, &environment);
}
