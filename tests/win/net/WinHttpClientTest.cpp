// The HTTP client against the stand-in through http_proxy: attempts, cut-short pages, charsets, bytes, the proxy.
#include "net/WinHttpClient.h"

#include <gtest/gtest.h>

#include "support/TestSupport.h"

namespace
{
constexpr HttpTimeouts kShortTimeouts{0, 5000, 5000, 5000};

// A unique address on the stand-in's test endpoint, so that its log counts the requests for it.
std::wstring BodyUrl(const std::wstring& query)
{
    static int counter = 0;
    return L"http://client.test/__test/body?case=" + std::to_wstring(++counter) + L"&" + query;
}

TEST(WinHttpClient, AttemptsUntilACompleteReplyAndDecodesItByItsCharset)
{
    // Query, whether Send succeeds, the text, the requests the stand-in saw.
    const std::tuple<const wchar_t*, bool, const wchar_t*, size_t> cases[] = {
        {L"text=%3CHTML%3Ecut&x=%3C/html%3E", false, L"<HTML>cut", 3}, // x keeps the log a whole page
        {L"fill=html&size=30&htmlcut_first=1", true, L"<html><body>aaaa</body></html>", 2},
        {L"status=500&text=not%20here", true, L"not here", 1},
        {L"drop_first=2&text=third%20time", true, L"third time", 3},
        {L"drop_first=3&text=x", false, L"", 3},
        {L"encode=utf-8&ctype=text/html;%20Charset=Utf-8&text=caf%C3%A9", true, L"caf\u00e9", 1},
        {L"encode=latin-1&charset=UTF-8&text=Caf%C3%A9%0A", true, L"Caf\ufffd\n", 1}, // cut short at the end
        {L"encode=utf-8&charset=utf8&text=caf%C3%A9", true, L"caf\u00c3\u00a9", 1},
        {L"encode=cp1252&charset=ISO-8859-1&text=caf%C3%A9", true, L"caf\u00e9", 1},
    };
    for (const auto& [query, sent, text, requests] : cases)
    {
        SCOPED_TRACE(testing::PrintToString(std::wstring(query)));
        const std::wstring url = BodyUrl(query);
        WinHttpClient client(url, kShortTimeouts);
        EXPECT_EQ(client.Send(L"GET"), sent);
        EXPECT_EQ(client.ResponseText(), text);
        EXPECT_EQ(StandinRequests(url).size(), requests);
    }
    EXPECT_FALSE(WinHttpClient(L"").Send(L"GET"));
    WinHttpClient secure(L"https://www.quillbury.co.uk/get_password/", kShortTimeouts);
    EXPECT_FALSE(secure.Send(L"GET")) << "a self-signed certificate is refused";
}

TEST(WinHttpClient, KeepsTheWholeBodyAndAZeroAfterItWhileTheTextStopsAtAZero)
{
    WinHttpClient client(BodyUrl(L"fill=zero&size=100&zero_at=40"), kShortTimeouts);
    ASSERT_TRUE(client.Send(L"GET"));
    EXPECT_EQ(client.ReceivedCount(), 100u);
    EXPECT_EQ(client.ResponseText(), std::wstring(40, L'a'));
    EXPECT_EQ(client.ResponseBytes()[100], 0);
}

// Without http_proxy its first send to a closed port fails; the browser's named proxy carries the second.
TEST(WinHttpClientProxyChild, SecondAttemptUsesTheBrowsersProxy)
{
    WinHttpClient client(L"http://127.0.0.1:9/__test/body?text=via%20proxy&case=proxy", kShortTimeouts);
    EXPECT_TRUE(client.Send(L"GET"));
    EXPECT_EQ(client.ResponseText(), L"via proxy");
}

TEST(WinHttpClient, TheBrowsersNamedProxyCarriesTheSecondAttempt)
{
    // "DefaultConnectionSettings": version, counter, flags (direct | proxy), the server, no bypass list or script.
    const std::string server = "127.0.0.1:" + std::to_string(StandinPort());
    const uint32_t head[] = {0x46, 1, 3, static_cast<uint32_t>(server.size())};
    const std::string blob =
        std::string(reinterpret_cast<const char*>(head), sizeof head) + server + std::string(40, 0);
    ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER,
                              L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Connections",
                              L"DefaultConnectionSettings", REG_BINARY, blob.data(), static_cast<DWORD>(blob.size())),
              0);
    EXPECT_EQ(RunThisProgramAsChild(L"WinHttpClientProxyChild.*", L"proxy", {L"http_proxy", L"https_proxy"}), 0u);
    EXPECT_EQ(StandinRequests(L"case=proxy").size(), 1u);
}
} // namespace
