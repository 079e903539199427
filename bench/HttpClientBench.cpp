// Throughput of the HTTP client for a 10 MiB download from the stand-in service, against a minimal WinHTTP
// read loop over the same address in the same run: the median of the time ratios of interleaved runs. Run through
// tools/standin/with_standin.py, which points http_proxy at the stand-in.
#include <windows.h>

#include <winhttp.h>

#include "BenchReport.h"
#include "net/WinHttpClient.h"

namespace
{
constexpr wchar_t kUrl[] = L"http://bench.test/__test/download?size=10485760";
constexpr int kRuns = 15;

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
    // Each run is one download by each loop, back to back, alternating which goes first so neither always
    // meets a server still busy with the other; the ratio of a run sets the two against the same moment of a
    // busy machine, and the median of the runs' ratios is the figure.
    std::vector<double> client, minimal, ratios;
    for (int run = 0; run < kRuns; ++run)
    {
        double clientSeconds = 0;
        double minimalSeconds = 0;
        if (run % 2)
        {
            minimalSeconds = SecondsOf([] { MinimalDownload(); });
            clientSeconds = SecondsOf([] { ClientDownload(); });
        }
        else
        {
            clientSeconds = SecondsOf([] { ClientDownload(); });
            minimalSeconds = SecondsOf([] { MinimalDownload(); });
        }
        client.push_back(clientSeconds);
        minimal.push_back(minimalSeconds);
        ratios.push_back(clientSeconds / minimalSeconds);
    }
    const double ratio = Median(ratios);
    std::printf("http: %d runs; time ratio median %.3f, min %.3f, max %.3f\n", kRuns, ratio, Percentile(ratios, 0.0),
                Percentile(ratios, 1.0));
    ReportFigures({{"http.download_10MiB", 10.0 / Median(client), "MiB/s", "minimal WinHTTP read loop",
                    10.0 / Median(minimal), ratio, "time ratio <= 1.2"}});
    return 0;
}
