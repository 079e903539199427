#include "net/WinHttpClient.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <new>

#include "net/RegExp.h"

namespace
{
constexpr size_t kInitialBodySize = 10240;

// Frees the strings WinHTTP hands out for proxy settings.
struct GlobalText
{
    LPWSTR text = nullptr;
    GlobalText() = default;
    GlobalText(const GlobalText&) = delete;
    GlobalText& operator=(const GlobalText&) = delete;
    ~GlobalText()
    {
        if (text)
            GlobalFree(text);
    }
};

// Whether the body, up to its first zero byte, holds the tag in any ASCII letter case: what the patterns
// "{<html>}" and "{</html>}" find in the decoded text. Looking at the bytes gives the same answer for UTF-8 and
// for every ANSI code page, because "<" is never part of a multi-byte character there, and it spares decoding
// a body that may be megabytes long when nobody asks for its text.
bool ContainsTagIgnoringCase(const unsigned char* bytes, size_t count, const char* tag)
{
    const size_t length = std::strlen(tag);
    auto lower = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c + 32) : c; };
    for (const auto* at = static_cast<const unsigned char*>(std::memchr(bytes, '<', count));
         at && static_cast<size_t>(bytes + count - at) >= length;
         at = static_cast<const unsigned char*>(std::memchr(at + 1, '<', static_cast<size_t>(bytes + count - at - 1))))
    {
        size_t i = 1;
        while (i < length && lower(at[i]) == static_cast<unsigned char>(tag[i]))
            ++i;
        if (i == length)
            return true;
    }
    return false;
}

bool StartsWithUtf8(const std::wstring& name)
{
    return name.size() >= 5 && _wcsnicmp(name.c_str(), L"utf-8", 5) == 0;
}
} // namespace

WinHttpClient::WinHttpClient(std::wstring url, HttpTimeouts limits) : address(std::move(url)), timeouts(limits) {}

bool WinHttpClient::Send(const std::wstring& verb) noexcept
try
{
    if (address.empty())
        return false;
    std::wstring method;
    if (_wcsicmp(verb.c_str(), L"GET") == 0)
        method = L"GET";
    else if (_wcsicmp(verb.c_str(), L"POST") == 0)
        method = L"POST";
    else
        return false;

    if (!session)
    {
        session.Reset(WinHttpOpen(userAgent.c_str(), WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                                  WINHTTP_NO_PROXY_BYPASS, 0 /* synchronous */));
        if (!session)
            return false;
    }
    WinHttpSetTimeouts(session.Get(), timeouts.resolve, timeouts.connect, timeouts.send, timeouts.receive);

    // The parts point into `address`; the query stays part of the path.
    URL_COMPONENTS parts{};
    parts.dwStructSize = sizeof(parts);
    parts.dwHostNameLength = static_cast<DWORD>(-1);
    parts.dwUrlPathLength = static_cast<DWORD>(-1);
    parts.dwExtraInfoLength = static_cast<DWORD>(-1);
    parts.dwSchemeLength = static_cast<DWORD>(-1);
    if (!WinHttpCrackUrl(address.c_str(), 0, 0, &parts) || !parts.lpszHostName)
        return false;
    const std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
    std::wstring path = parts.lpszUrlPath ? std::wstring(parts.lpszUrlPath, parts.dwUrlPathLength) : L"";
    if (parts.lpszExtraInfo)
        path.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    if (path.empty())
        path = L"/";
    const bool secure = parts.nScheme == INTERNET_SCHEME_HTTPS;

    HttpHandle connection;
    HttpHandle request;
    auto openRequest = [&]
    {
        request.Reset();
        connection.Reset(WinHttpConnect(session.Get(), host.c_str(), parts.nPort, 0));
        if (connection)
            request.Reset(WinHttpOpenRequest(connection.Get(), method.c_str(), path.c_str(), nullptr /* HTTP/1.1 */,
                                             WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                             secure ? WINHTTP_FLAG_SECURE : 0));
        if (!request)
            return false;
        // The wait for the response headers has a limit of its own (90 s by default), which the session's
        // timeouts leave alone: without this a server that accepts the request and never answers would hold
        // every attempt for that long instead of the receive timeout.
        DWORD headersTimeout = static_cast<DWORD>(timeouts.receive);
        WinHttpSetOption(request.Get(), WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &headersTimeout,
                         sizeof(headersTimeout));
        return true;
    };
    if (!openRequest())
        return false;

    bufferFailed = false;
    Attempt last = Attempt::Failed;
    for (int attempt = 0; attempt < 3; ++attempt)
    {
        namedProxyFound = false;
        last = TryOnce(request.Get(), method == L"GET");
        if (last == Attempt::Complete || bufferFailed)
            break;
        // The browser named a proxy for the next attempt. It was set on the request; the next attempt also
        // runs on a session opened with that proxy, because some WinHTTP implementations (Wine's among
        // them) only honour a proxy given when the session is opened.
        if (namedProxyFound)
        {
            session.Reset(WinHttpOpen(userAgent.c_str(), WINHTTP_ACCESS_TYPE_NAMED_PROXY, discoveredProxy.c_str(),
                                      discoveredBypass.empty() ? WINHTTP_NO_PROXY_BYPASS : discoveredBypass.c_str(),
                                      0));
            if (!session)
                break;
            WinHttpSetTimeouts(session.Get(), timeouts.resolve, timeouts.connect, timeouts.send, timeouts.receive);
            if (!openRequest())
                break;
        }
    }
    return last == Attempt::Complete && !bufferFailed;
}
catch (...)
{
    // Out of memory somewhere on the way: a failed request, never an exception into the caller.
    return false;
}

WinHttpClient::Attempt WinHttpClient::TryOnce(HINTERNET request, bool isGet)
{
    if (!WinHttpSendRequest(request, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0) &&
        !SendThroughDiscoveredProxy(request))
        return Attempt::Failed;
    if (!WinHttpReceiveResponse(request, nullptr))
        return Attempt::Failed;

    ReadHeaders(request);
    std::vector<std::wstring> found;
    if (FindAll(L"charset={[A-Za-z0-9\\-_]+}", headers, found) && !found.empty())
        charset = found.front();
    else
        charset.clear();

    const bool bodyRead = ReadBody(request);
    textStale = true; // decoded when somebody asks for the text
    if (!bodyRead)
        return Attempt::Failed;

    if (isGet)
    {
        const auto* bytes = body.get();
        const auto* zero = static_cast<const unsigned char*>(std::memchr(bytes, 0, static_cast<size_t>(received) + 1));
        const auto count = static_cast<size_t>(zero - bytes);
        if (ContainsTagIgnoringCase(bytes, count, "<html>") && !ContainsTagIgnoringCase(bytes, count, "</html>"))
            return Attempt::CutShort;
    }
    return Attempt::Complete;
}

bool WinHttpClient::SendThroughDiscoveredProxy(HINTERNET request)
{
    WINHTTP_CURRENT_USER_IE_PROXY_CONFIG config{};
    if (!WinHttpGetIEProxyConfigForCurrentUser(&config))
        return false;
    GlobalText script{}, server{}, bypass{};
    script.text = config.lpszAutoConfigUrl;
    server.text = config.lpszProxy;
    bypass.text = config.lpszProxyBypass;

    if (script.text)
    {
        WINHTTP_AUTOPROXY_OPTIONS options{};
        options.dwFlags = WINHTTP_AUTOPROXY_AUTO_DETECT | WINHTTP_AUTOPROXY_CONFIG_URL;
        options.dwAutoDetectFlags = WINHTTP_AUTO_DETECT_TYPE_DHCP;
        options.lpszAutoConfigUrl = script.text;
        options.fAutoLogonIfChallenged = TRUE;
        WINHTTP_PROXY_INFO proxy{};
        if (!WinHttpGetProxyForUrl(session.Get(), address.c_str(), &options, &proxy))
            return false;
        GlobalText proxyName{}, proxyBypass{};
        proxyName.text = proxy.lpszProxy;
        proxyBypass.text = proxy.lpszProxyBypass;
        if (!WinHttpSetOption(request, WINHTTP_OPTION_PROXY, &proxy, sizeof(proxy)))
            return false;
        return WinHttpSendRequest(request, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0) != FALSE;
    }

    if (server.text)
    {
        // The next attempt goes through the named proxy; this one stays failed.
        WINHTTP_PROXY_INFO proxy{};
        proxy.dwAccessType = WINHTTP_ACCESS_TYPE_NAMED_PROXY;
        proxy.lpszProxy = server.text;
        proxy.lpszProxyBypass = bypass.text;
        WinHttpSetOption(request, WINHTTP_OPTION_PROXY, &proxy, sizeof(proxy));
        // Copied into room for 260 characters, as the proxy settings of the browser are.
        discoveredProxy.assign(server.text, std::min<size_t>(wcslen(server.text), 259));
        discoveredBypass = bypass.text ? std::wstring(bypass.text, std::min<size_t>(wcslen(bypass.text), 259)) : L"";
        namedProxyFound = true;
    }
    return false;
}

void WinHttpClient::ReadHeaders(HINTERNET request)
{
    headers.clear();
    DWORD number = 0;
    DWORD numberSize = sizeof(number);
    statusCode = WinHttpQueryHeaders(request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                                     WINHTTP_HEADER_NAME_BY_INDEX, &number, &numberSize, WINHTTP_NO_HEADER_INDEX)
                     ? number
                     : 0;
    numberSize = sizeof(number);
    hasContentLength =
        WinHttpQueryHeaders(request, WINHTTP_QUERY_CONTENT_LENGTH | WINHTTP_QUERY_FLAG_NUMBER,
                            WINHTTP_HEADER_NAME_BY_INDEX, &number, &numberSize, WINHTTP_NO_HEADER_INDEX) != FALSE;
    contentLength = hasContentLength ? number : 0;
    DWORD size = 0;
    WinHttpQueryHeaders(request, WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX, WINHTTP_NO_OUTPUT_BUFFER,
                        &size, WINHTTP_NO_HEADER_INDEX);
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || size == 0)
        return;
    std::wstring block(size / sizeof(wchar_t) + 1, L'\0');
    if (WinHttpQueryHeaders(request, WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX, block.data(), &size,
                            WINHTTP_NO_HEADER_INDEX))
    {
        block.resize(size / sizeof(wchar_t));
        headers = std::move(block);
    }
}

// The body grows in one buffer that starts at 10240 bytes and doubles, always keeping a zero byte after
// the data, so large downloads cost a handful of allocations rather than one per chunk. The buffer is not
// cleared as a whole: only the byte after the data is kept zero.
bool WinHttpClient::ReadBody(HINTERNET request)
{
    body.reset();
    capacity = 0;
    received = 0;
    transferComplete = false;
    bool readFailed = false;
    auto grow = [&](size_t size)
    {
        std::unique_ptr<unsigned char[]> grown(new (std::nothrow) unsigned char[size]);
        if (!grown)
            return false;
        if (received)
            std::memcpy(grown.get(), body.get(), received);
        grown[received] = 0;
        body = std::move(grown);
        capacity = size;
        return true;
    };
    if (!grow(kInitialBodySize))
    {
        bufferFailed = true;
        return false;
    }
    for (;;)
    {
        DWORD available = 0;
        if (!WinHttpQueryDataAvailable(request, &available))
        {
            readFailed = true;
            break;
        }
        if (available == 0)
            break;
        const size_t needed = static_cast<size_t>(received) + available + 1;
        if (needed > capacity)
        {
            size_t size = capacity;
            while (size < needed)
                size *= 2;
            if (size > UINT32_MAX || !grow(size))
            {
                bufferFailed = true;
                return false;
            }
        }
        DWORD read = 0;
        if (!WinHttpReadData(request, body.get() + received, available, &read) || read == 0)
        {
            // A broken transfer: keep what has arrived (the HTML rule may still reject it).
            body[received] = 0;
            readFailed = true;
            break;
        }
        received += read;
        body[received] = 0;
    }
    transferComplete = !readFailed && (!hasContentLength || contentLength == received);
    return true;
}

// Decodes the bytes up to the first zero byte (the text ends there anyway) together with that zero byte, in one
// pass: neither UTF-8 nor an ANSI code page makes more UTF-16 units than bytes. The zero byte goes with them
// because a conversion handed a sequence cut short at the very end of its input may take the characters before
// it along (Wine's does); followed by the zero, the cut sequence is only a replacement character.
void WinHttpClient::DecodeBody() const
{
    if (!body)
        return;
    const auto* bytes = reinterpret_cast<const char*>(body.get());
    const auto* zero = static_cast<const char*>(std::memchr(bytes, 0, static_cast<size_t>(received) + 1));
    const int count = static_cast<int>(zero - bytes);
    if (count == 0)
    {
        responseText.clear();
        return;
    }
    // Plain ASCII reads the same in UTF-8 and in every ANSI code page, so that leading run is widened
    // directly and the conversion call only sees the rest: it starts at the first byte of 0x80 or above,
    // where no multi-byte sequence can be cut.
    int ascii = 0;
    while (ascii < count && static_cast<unsigned char>(bytes[ascii]) < 0x80)
        ++ascii;
    auto decode = [&](UINT codePage, DWORD flags, std::wstring& out)
    {
        out.assign(static_cast<size_t>(count) + 1, L'\0');
        for (int i = 0; i < ascii; ++i)
            out[static_cast<size_t>(i)] = static_cast<wchar_t>(bytes[i]);
        if (ascii < count)
        {
            const int rest = MultiByteToWideChar(codePage, flags, bytes + ascii, count - ascii + 1, out.data() + ascii,
                                                 count - ascii + 1);
            if (rest <= 0)
                return false;
        }
        out.resize(std::wcslen(out.c_str()));
        return true;
    };
    std::wstring text;
    const bool decoded = StartsWithUtf8(charset) ? decode(CP_UTF8, 0, text) : decode(CP_ACP, MB_PRECOMPOSED, text);
    if (decoded || decode(CP_ACP, MB_PRECOMPOSED, text))
        responseText = std::move(text);
}
