#include "support/ChildProcess.h"

#include "core/ScopedHandle.h"

std::wstring ChildRole()
{
    wchar_t role[64] = {};
    GetEnvironmentVariableW(L"QB_CHILD_ROLE", role, 64);
    return role;
}

DWORD RunThisProgramAsChild(const std::wstring& test, const std::wstring& role,
                            const std::vector<std::wstring>& dropped)
{
    // QB_OTHER_PROGRAM names this program's build for the other bitness, for runs of two browser processes
    // of one user side by side.
    wchar_t program[MAX_PATH];
    if (!GetEnvironmentVariableW(L"QB_OTHER_PROGRAM", program, MAX_PATH))
        GetModuleFileNameW(nullptr, program, MAX_PATH);
    std::wstring commandLine = L"\"" + std::wstring(program) + L"\" --gtest_filter=" + test;

    std::wstring environment = L"QB_CHILD_ROLE=" + role;
    environment.push_back(L'\0');
    const wchar_t* block = GetEnvironmentStringsW();
    for (const wchar_t* entry = block; *entry; entry += wcslen(entry) + 1)
    {
        bool keep = _wcsnicmp(entry, L"QB_CHILD_ROLE=", 14) != 0;
        // The run's own records (premature-exit file, XML report) belong to the first process only.
        for (const std::wstring& name : {std::wstring(L"TEST_PREMATURE_EXIT_FILE"), std::wstring(L"GTEST_OUTPUT")})
            keep = keep && !(_wcsnicmp(entry, name.c_str(), name.size()) == 0 && entry[name.size()] == L'=');
        for (const auto& name : dropped)
            keep = keep && !(_wcsnicmp(entry, name.c_str(), name.size()) == 0 && entry[name.size()] == L'=');
        if (keep)
            environment.append(entry).push_back(L'\0');
    }
    FreeEnvironmentStringsW(const_cast<wchar_t*>(block));
    environment.push_back(L'\0');

    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(program, commandLine.data(), nullptr, nullptr, FALSE, CREATE_UNICODE_ENVIRONMENT,
                        environment.data(), nullptr, &startup, &info))
        return 1000;
    const KernelHandle process(info.hProcess);
    const KernelHandle thread(info.hThread);
    if (WaitForSingleObject(process.Get(), 60000) != WAIT_OBJECT_0)
        return 1001;
    DWORD code = 1002;
    GetExitCodeProcess(process.Get(), &code);
    return code;
}
