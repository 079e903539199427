#include "support/TestSupport.h"

#include <tlhelp32.h>

#include <ctime>

#include "UserActions.h"
#include "core/ScopedHandle.h"
#include "module/ProcessObjects.h"
#include "net/ServiceUrls.h"
#include "net/WinHttpClient.h"
#include "settings/AccountStore.h"
#include "settings/Registry.h"
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

std::string StandinShopList()
{
    WinHttpClient client(L"http://www.quillbury.co.uk/k3tq8w2m/get_merchant.php?PID=QLBY");
    if (!client.Send(L"GET"))
        return "<none>";
    return std::string(reinterpret_cast<const char*>(client.ResponseBytes()), client.ReceivedCount());
}

std::string ReadFileBytes(const std::wstring& path)
{
    const KernelHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return "<missing>";
    std::string bytes;
    char buffer[65536];
    DWORD read = 0;
    while (ReadFile(file.Get(), buffer, sizeof(buffer), &read, nullptr) && read > 0)
        bytes.append(buffer, read);
    return bytes;
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

void ResetStage()
{
    StandinControl(L"reset?log=1");
    DeleteKeyTree(HKEY_CURRENT_USER, kSettingsKeyPath);
    for (const std::wstring& name : DataFiles(L"*"))
        DeleteFileW(DataFilePath(name).c_str());
    SharedBlock& shared = Shared();
    ZeroMemory(&shared, sizeof(shared));
    shared.mainDone = 1;
    shared.noticeDone = 1;
    shared.noticeShown = 1; // else the toolbar's first tick shows the empty notice
}

std::wstring NonceSecondsAgo(int seconds)
{
    const std::time_t then = std::time(nullptr) - seconds;
    std::tm local{};
    localtime_s(&local, &then);
    return RequestNonceFor(local);
}

DWORD ProcessThreadCount()
{
    const KernelHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    DWORD count = 0;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Thread32First(snapshot.Get(), &entry); more; more = Thread32Next(snapshot.Get(), &entry))
        count += entry.th32OwnerProcessID == GetCurrentProcessId() ? 1u : 0u;
    return count;
}

std::wstring AnswerBox(const std::wstring& caption, int button)
{
    const HWND box = useractions::WaitForProcessWindow(L"#32770", caption, 10000);
    if (!box)
        return L"<none>";
    const std::wstring text = useractions::MessageText(box);
    useractions::PressDialogButton(box, button);
    useractions::WaitUntilGone(box, 10000);
    return text;
}
