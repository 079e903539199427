// One synchronous GET (or POST) over WinHTTP, built for an unreliable path: up to three attempts, the
// browser's proxy configuration discovered after a failed send, and an HTML page without its closing tag
// treated as a broken transfer. The body is kept both as raw bytes and as decoded text.
//
// One object serves one address on one thread. Send never throws; every failure is its false result.
// Certificate checks of https addresses stay with the platform: a self-signed or wrong-host certificate
// fails the request.
#pragma once

#include <windows.h>

#include <winhttp.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/ScopedHandle.h"

using HttpHandle = GenericScopedHandle<HINTERNET, &WinHttpCloseHandle>;

// Milliseconds; the defaults are the ones the add-on ships with. Tests shorten them.
struct HttpTimeouts
{
    int resolve = 0; // no limit
    int connect = 60000;
    int send = 30000;
    int receive = 30000;
};

class WinHttpClient
{
public:
    explicit WinHttpClient(std::wstring address, HttpTimeouts timeouts = {});
    WinHttpClient(const WinHttpClient&) = delete;
    WinHttpClient& operator=(const WinHttpClient&) = delete;
    virtual ~WinHttpClient() = default;

    // Used when the session opens, so set it before the first Send.
    void SetUserAgent(std::wstring agent) { userAgent = std::move(agent); }

    // "GET" or "POST" in any case; anything else fails before any network activity. True when a response
    // was received and accepted (the status code is not examined).
    bool Send(const std::wstring& verb) noexcept;

    // The decoded body up to its first NUL; empty before a successful Send.
    [[nodiscard]] std::wstring ResponseText() const
    {
        if (textStale)
        {
            DecodeBody();
            textStale = false;
        }
        return responseText;
    }
    // Whether ResponseText() would give text, without decoding the body.
    [[nodiscard]] bool HasResponseText() const noexcept
    {
        return textStale ? received > 0 && body[0] != 0 : !responseText.empty();
    }
    // The raw body; always followed by at least one zero byte in memory.
    [[nodiscard]] const unsigned char* ResponseBytes() const noexcept { return body.get(); }
    [[nodiscard]] uint32_t ReceivedCount() const noexcept { return received; }
    [[nodiscard]] const std::wstring& ResponseHeaders() const noexcept { return headers; }
    [[nodiscard]] const std::wstring& ResponseCharset() const noexcept { return charset; }
    // The last response's status code (0 when none was read).
    [[nodiscard]] DWORD StatusCode() const noexcept { return statusCode; }
    // True when the last body arrived whole: no read failed and it is as long as the server announced.
    [[nodiscard]] bool TransferComplete() const noexcept { return transferComplete; }

private:
    enum class Attempt
    {
        Failed,
        CutShort,
        Complete,
    };

    Attempt TryOnce(HINTERNET request, bool isGet);
    bool SendThroughDiscoveredProxy(HINTERNET request);
    void ReadHeaders(HINTERNET request);
    bool ReadBody(HINTERNET request);
    void DecodeBody() const;

    std::wstring address;
    std::wstring userAgent = L"WinHttpClient";
    HttpTimeouts timeouts;
    HttpHandle session;
    std::wstring headers;
    std::wstring charset;
    std::unique_ptr<unsigned char[]> body; // `capacity` bytes, a zero byte right after the data
    size_t capacity = 0;
    uint32_t received = 0;
    bool bufferFailed = false;
    bool namedProxyFound = false;
    std::wstring discoveredProxy;
    std::wstring discoveredBypass;
    DWORD statusCode = 0;
    bool hasContentLength = false;
    DWORD contentLength = 0;
    bool transferComplete = false;
    // The decoded body, made on first request after a response arrived (a shop-list download never needs it).
    mutable std::wstring responseText;
    mutable bool textStale = false;
};
