#include "StandinClient.h"

#include <windows.h>

#include <cwchar>

#include "net/WinHttpClient.h"

std::wstring StandinControl(const std::wstring& path)
{
    WinHttpClient client(L"http://standin.test/__standin/" + path);
    client.SetUserAgent(L"Mozilla/4.0");
    return client.Send(L"GET") ? client.ResponseText() : std::wstring();
}

std::vector<std::wstring> StandinRequests(const std::wstring& fragment)
{
    // The log is a JSON array of objects; the absolute address is the value of "url". A full JSON parser is
    // not needed for addresses the tests themselves chose.
    const std::wstring log = StandinControl(L"log");
    std::vector<std::wstring> urls;
    const std::wstring key = L"\"url\": \"";
    for (size_t at = log.find(key); at != std::wstring::npos; at = log.find(key, at + 1))
    {
        const size_t start = at + key.size();
        const size_t end = log.find(L'"', start);
        if (end == std::wstring::npos)
            break;
        std::wstring url = log.substr(start, end - start);
        if (url.find(fragment) != std::wstring::npos)
            urls.push_back(std::move(url));
    }
    return urls;
}

int StandinRequestCount(const std::wstring& fragment)
{
    return static_cast<int>(StandinRequests(fragment).size());
}

int StandinPort()
{
    wchar_t port[16] = {};
    GetEnvironmentVariableW(L"QB_STANDIN_PORT", port, 16);
    return _wtoi(port);
}
