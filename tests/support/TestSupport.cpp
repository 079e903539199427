#include "support/TestSupport.h"

#include <algorithm>

#include "core/ScopedHandle.h"
#include "net/WinHttpClient.h"
#include "settings/VistaSupport.h"

std::wstring StandinControl(const std::wstring& path)
{
    WinHttpClient client(L"http://standin.test/__standin/" + path);
    client.SetUserAgent(L"Mozilla/4.0");
    return client.Send(L"GET") ? client.ResponseText() : std::wstring();
}

std::vector<std::wstring> StandinRequests(const std::wstring& fragment)
{
    // The log is a JSON array of objects; the absolute address is the value of "url". The addresses are the
    // tests' own, so no JSON parser is needed.
    const std::wstring log = StandinControl(L"log");
    std::vector<std::wstring> urls;
    const std::wstring key = L"\"url\": \"";
    for (size_t at = log.find(key); at != std::wstring::npos; at = log.find(key, at + 1))
    {
        const size_t start = at + key.size();
        std::wstring url = log.substr(start, log.find(L'"', start) - start);
        if (url.find(fragment) != std::wstring::npos)
            urls.push_back(std::move(url));
    }
    return urls;
}

int StandinPort()
{
    wchar_t port[16] = {};
    GetEnvironmentVariableW(L"QB_STANDIN_PORT", port, 16);
    return _wtoi(port);
}

bool WriteFileBytes(const std::wstring& path, const std::string& bytes)
{
    const KernelHandle file(
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    return file && WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

bool SetLastWriteTime(const std::wstring& path, const std::wstring& age)
{
    SYSTEMTIME local{};
    GetLocalTime(&local);
    local.wHour = 12;
    local.wMinute = local.wSecond = local.wMilliseconds = 0;
    if (age == L"month")
    {
        local.wYear = static_cast<WORD>(local.wMonth == 1 ? local.wYear - 1 : local.wYear);
        local.wMonth = static_cast<WORD>(local.wMonth == 1 ? 12 : local.wMonth - 1);
        local.wDay = std::min<WORD>(local.wDay, 28);
    }
    SYSTEMTIME utc{};
    FILETIME time{};
    if (!TzSpecificLocalTimeToSystemTime(nullptr, &local, &utc) || !SystemTimeToFileTime(&utc, &time))
        return false;
    ULARGE_INTEGER value{{time.dwLowDateTime, time.dwHighDateTime}};
    if (age != L"month")
        value.QuadPart = static_cast<ULONGLONG>(static_cast<LONGLONG>(value.QuadPart) +
                                                static_cast<LONGLONG>(std::stod(age) * 36000000000.0));
    time = {value.LowPart, value.HighPart};
    const KernelHandle file(CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return file && SetFileTime(file.Get(), nullptr, nullptr, &time);
}

std::vector<std::wstring> DataFiles(const std::wstring& pattern)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found{};
    const HANDLE search = FindFirstFileW(DataFilePath(pattern).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do
        names.push_back(found.cFileName);
    while (FindNextFileW(search, &found));
    FindClose(search);
    return names;
}

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

std::wstring AddonPath()
{
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path);
    folder.resize(folder.find_last_of(L'\\') + 1);
    return folder + L"Quillbury.dll";
}

DWORD RunRegsvr32(const std::wstring& switches)
{
    wchar_t system[MAX_PATH];
    GetSystemDirectoryW(system, MAX_PATH);
    return RunProgram(L"\"" + std::wstring(system) + L"\\regsvr32.exe\" " + switches + L" \"" + AddonPath() + L"\"");
}
