// Throughput of the HTTP client for a 10 MiB download from the stand-in service, against a minimal WinHTTP
// read loop over the same address in the same run (interleaved rounds, medians). Run through
// tools/standin/with_standin.py, which points http_proxy at the stand-in.
#include <windows.h>

#include <winhttp.h>

#include "BenchReport.h"
#include "net/WinHttpClient.h"

namespace
{
constexpr wchar_t kUrl[] = L"http://bench.test/__test/download?size=10485760";

// The least a program can do to fetch the body with WinHTTP.
size_t MinimalDownload()
{
    const HttpHandle session(
        WinHttpOpen(L"bench", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
    const HttpHandle connection(WinHttpConnect(session.Get(), L"bench.test", 80, 0));
    const HttpHandle request(WinHttpOpenRequest(connection.Get(), L"GET", L"/__test/download?size=10485760", nullptr,
                                                WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES, 0));
    if (!request || !WinHttpSendRequest(request.Get(), nullptr, 0, nullptr, 0, 0, 0) ||
        !WinHttpReceiveResponse(request.Get(), nullptr))
        return 0;
    std::vector<char> body(16 * 1024 * 1024);
    size_t total = 0;
    DWORD available = 0;
    while (WinHttpQueryDataAvailable(request.Get(), &available) && available > 0)
    {
        if (total + available > body.size())
            body.resize((total + available) * 2);
        DWORD read = 0;
        if (!WinHttpReadData(request.Get(), body.data() + total, available, &read) || read == 0)
            break;
        total += read;
    }
    return total;
}

size_t ClientDownload()
{
    WinHttpClient client(kUrl);
    client.SetUserAgent(L"Mozilla/4.0");
    return client.Send(L"GET") ? client.ReceivedCount() : 0;
}
} // namespace

int main()
{
    if (MinimalDownload() != 10485760 || ClientDownload() != 10485760)
    {
        std::fprintf(stderr, "the stand-in did not deliver 10 MiB (run through with_standin.py)\n");
        return 1;
    }
    std::vector<double> client, minimal;
    for (int round = 0; round < 7; ++round)
    {
        // Alternate which goes first, so neither always meets a server still busy with the other.
        if (round % 2)
        {
            minimal.push_back(SecondsOf([] { MinimalDownload(); }));
            client.push_back(SecondsOf([] { ClientDownload(); }));
        }
        else
        {
            client.push_back(SecondsOf([] { ClientDownload(); }));
            minimal.push_back(SecondsOf([] { MinimalDownload(); }));
        }
    }
    const double clientRate = 10.0 / Median(client);
    const double minimalRate = 10.0 / Median(minimal);
    ReportFigures({{"http.download_10MiB", clientRate, "MiB/s", "minimal WinHTTP read loop", minimalRate,
                    Median(client) / Median(minimal), "time ratio <= 1.2"}});
    return 0;
}
