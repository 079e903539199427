// The HTTP client against the stand-in service over real loopback HTTP (reached through http_proxy the way
// the shipped DLL reaches it): verbs, attempts, the cut-short page rule, charsets, raw bytes, error
// statuses, the browser's proxy configuration and certificate checks.
#include "net/WinHttpClient.h"

#include <cstring>
#include <gtest/gtest.h>

#include "StandinClient.h"
#include "core/ScopedHandle.h"
#include "support/ChildProcess.h"

namespace
{
constexpr HttpTimeouts kShortTimeouts{0, 5000, 5000, 5000};

class WinHttpClientTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_NE(StandinPort(), 0) << "run through tools/standin/with_standin.py";
        StandinControl(L"reset");
    }

    // A unique address on the stand-in's test endpoint.
    static std::wstring BodyUrl(const std::wstring& query)
    {
        static int counter = 0;
        return L"http://client.test/__test/body?case=" + std::to_wstring(++counter) + L"&" + query;
    }
};

TEST_F(WinHttpClientTest, VerbsAreCheckedBeforeAnyNetworkActivity)
{
    const std::wstring url = BodyUrl(L"text=hello");
    WinHttpClient put(url, kShortTimeouts);
    EXPECT_FALSE(put.Send(L"PUT"));
    WinHttpClient empty(L"", kShortTimeouts);
    EXPECT_FALSE(empty.Send(L"GET"));
    EXPECT_EQ(StandinRequestCount(url), 0);

    WinHttpClient get(url, kShortTimeouts);
    get.SetUserAgent(L"Mozilla/4.0");
    ASSERT_TRUE(get.Send(L"get"));
    EXPECT_EQ(get.ResponseText(), L"hello");
    EXPECT_EQ(StandinRequestCount(url), 1) << "a plain reply is accepted at once";
    const std::wstring log = StandinControl(L"log?path=__test");
    EXPECT_NE(log.find(L"\"GET\""), std::wstring::npos);
    EXPECT_NE(log.find(L"Mozilla/4.0"), std::wstring::npos);
}

TEST_F(WinHttpClientTest, AnHtmlPageCutShortIsFetchedThreeTimesThenRefused)
{
    const std::wstring url = BodyUrl(L"fill=htmlcut&size=3000");
    WinHttpClient client(url, kShortTimeouts);
    EXPECT_FALSE(client.Send(L"GET"));
    EXPECT_EQ(StandinRequestCount(url), 3);
    EXPECT_NE(client.ResponseText().find(L"<html"), std::wstring::npos) << "the last text stays readable";

    const std::wstring recovers = BodyUrl(L"fill=html&size=3000&htmlcut_first=1");
    WinHttpClient second(recovers, kShortTimeouts);
    EXPECT_TRUE(second.Send(L"GET"));
    EXPECT_EQ(StandinRequestCount(recovers), 2) << "a complete page on the second attempt is accepted";
}

TEST_F(WinHttpClientTest, CharsetDecidesTheDecoding)
{
    struct Case
    {
        const wchar_t* query;
        const wchar_t* expected;
    };
    // "café £5" sent as UTF-8 (c3 a9, c2 a3) or as Windows-1252 (e9, a3).
    const Case cases[] = {
        {L"encode=utf-8&charset=UTF-8", L"caf\u00e9 \u00a35"},
        {L"encode=utf-8&charset=utf-8", L"caf\u00e9 \u00a35"},
        {L"encode=utf-8&ctype=text/html;%20Charset=Utf-8", L"caf\u00e9 \u00a35"},
        {L"encode=utf-8&charset=utf8", L"caf\u00c3\u00a9 \u00c2\u00a35"},
        {L"encode=utf-8&charset=none", L"caf\u00c3\u00a9 \u00c2\u00a35"},
        {L"encode=cp1252&charset=ISO-8859-1", L"caf\u00e9 \u00a35"},
    };
    for (const auto& test : cases)
    {
        SCOPED_TRACE(testing::PrintToString(std::wstring(test.query)));
        WinHttpClient client(BodyUrl(std::wstring(test.query) + L"&text=caf%C3%A9%20%C2%A35"), kShortTimeouts);
        ASSERT_TRUE(client.Send(L"GET"));
        EXPECT_EQ(client.ResponseText(), test.expected);
    }

    WinHttpClient capitals(BodyUrl(L"ctype=text/html;%20Charset=ISO-8859-1&text=x"), kShortTimeouts);
    ASSERT_TRUE(capitals.Send(L"GET"));
    EXPECT_EQ(capitals.ResponseCharset(), L"ISO-8859-1") << "the captured charset keeps its case";
}

TEST_F(WinHttpClientTest, RawBytesKeepTheWholeBodyWhileTheTextStopsAtAZero)
{
    WinHttpClient zero(BodyUrl(L"fill=zero&size=100&zero_at=40"), kShortTimeouts);
    ASSERT_TRUE(zero.Send(L"GET"));
    EXPECT_EQ(zero.ReceivedCount(), 100u);
    EXPECT_EQ(zero.ResponseText().size(), 40u);
    EXPECT_EQ(zero.ResponseBytes()[40], 0);
    EXPECT_EQ(zero.ResponseBytes()[41], 'a');

    for (uint32_t size : {10239u, 10240u, 10241u, 100000u})
    {
        SCOPED_TRACE(size);
        WinHttpClient exact(BodyUrl(L"size=" + std::to_wstring(size)), kShortTimeouts);
        ASSERT_TRUE(exact.Send(L"GET"));
        EXPECT_EQ(exact.ReceivedCount(), size);
        EXPECT_EQ(exact.ResponseText().size(), size);
        EXPECT_EQ(exact.ResponseBytes()[size], 0) << "always followed by a zero byte";
    }
}

TEST_F(WinHttpClientTest, ErrorStatusesWithABodyAreCompleteReplies)
{
    for (const wchar_t* status : {L"404", L"500"})
    {
        SCOPED_TRACE(testing::PrintToString(std::wstring(status)));
        const std::wstring url = BodyUrl(std::wstring(L"status=") + status + L"&text=not%20here");
        WinHttpClient client(url, kShortTimeouts);
        ASSERT_TRUE(client.Send(L"GET"));
        EXPECT_EQ(client.ResponseText(), L"not here");
        EXPECT_EQ(StandinRequestCount(url), 1);
    }
}

TEST_F(WinHttpClientTest, ADroppedConnectionIsRetried)
{
    const std::wstring url = BodyUrl(L"text=third%20time&drop_first=2");
    WinHttpClient client(url, kShortTimeouts);
    EXPECT_TRUE(client.Send(L"GET"));
    EXPECT_EQ(client.ResponseText(), L"third time");
    EXPECT_EQ(StandinRequestCount(url), 3);

    const std::wstring never = BodyUrl(L"text=x&drop_first=5");
    WinHttpClient failing(never, kShortTimeouts);
    EXPECT_FALSE(failing.Send(L"GET"));
}

TEST_F(WinHttpClientTest, ASelfSignedCertificateIsRefused)
{
    // The stand-in answers https through its proxy tunnel with a certificate no authority signed.
    WinHttpClient client(L"https://www.quillbury.co.uk/get_password/", kShortTimeouts);
    EXPECT_FALSE(client.Send(L"GET"));
    EXPECT_TRUE(client.ResponseText().empty());
}

// The browser's proxy configuration, as Wine reads it: the "DefaultConnectionSettings" blob.
void SetBrowserProxy(const std::wstring& server)
{
    const std::string narrow(server.begin(), server.end());
    std::string blob;
    auto put32 = [&](uint32_t value) { blob.append(reinterpret_cast<const char*>(&value), 4); };
    put32(0x46); // structure version
    put32(1);    // change counter
    put32(0x03); // flags: direct | proxy
    put32(static_cast<uint32_t>(narrow.size()));
    blob += narrow;
    put32(0); // no bypass list
    put32(0); // no configuration script
    blob.append(32, '\0');
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER,
                              L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Connections", 0,
                              nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const KeyHandle owner(key);
    RegSetValueExW(key, L"DefaultConnectionSettings", 0, REG_BINARY, reinterpret_cast<const BYTE*>(blob.data()),
                   static_cast<DWORD>(blob.size()));
}

// A child process without http_proxy: its first send to a closed port fails, the browser's named proxy is
// discovered and the second attempt goes through it.
TEST(WinHttpClientProxyChild, SecondAttemptUsesTheBrowsersProxy)
{
    WinHttpClient client(L"http://127.0.0.1:9/__test/body?text=via%20proxy&case=proxy", kShortTimeouts);
    ASSERT_TRUE(client.Send(L"GET"));
    EXPECT_EQ(client.ResponseText(), L"via proxy");
}

TEST_F(WinHttpClientTest, TheBrowsersNamedProxyIsUsedOnTheSecondAttempt)
{
    SetBrowserProxy(L"127.0.0.1:" + std::to_wstring(StandinPort()));

    // The child runs without any proxy variable, so its first send to a closed port fails.
    EXPECT_EQ(RunThisProgramAsChild(L"WinHttpClientProxyChild.*", L"proxy", {L"http_proxy", L"https_proxy"}), 0u);
    EXPECT_EQ(StandinRequestCount(L"case=proxy"), 1);
}
} // namespace
