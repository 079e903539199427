#include "browser/HostFromUrl.h"

#include <array>
#include <string_view>

namespace
{
constexpr size_t kMaxScheme = 32;
constexpr size_t kMaxUserName = 128;
constexpr size_t kMaxPassword = 128;
constexpr size_t kMaxHost = 256;
constexpr size_t kMaxPort = 5;
constexpr unsigned long kHighestPort = 65535;
constexpr size_t kMaxPath = 2048;
constexpr size_t kMaxExtra = 2048;

bool IsAsciiLetter(wchar_t c) noexcept
{
    return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z');
}

bool IsDigit(wchar_t c) noexcept
{
    return c >= L'0' && c <= L'9';
}

bool IsSchemeCharacter(wchar_t c) noexcept
{
    return IsAsciiLetter(c) || IsDigit(c) || c == L'+' || c == L'-' || c == L'.';
}

wchar_t LowerAscii(wchar_t c) noexcept
{
    return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

bool EqualsIgnoringCase(std::wstring_view text, std::wstring_view lowerName) noexcept
{
    if (text.size() != lowerName.size())
        return false;
    for (size_t i = 0; i < text.size(); ++i)
        if (LowerAscii(text[i]) != lowerName[i])
            return false;
    return true;
}

enum class Scheme
{
    Unknown,
    Ftp,
    Gopher,
    Http,
    Https,
    File,
    News,
    Mailto,
    Socks,
};

Scheme RecogniseScheme(std::wstring_view name) noexcept
{
    struct Known
    {
        std::wstring_view name;
        Scheme scheme;
    };
    static constexpr std::array<Known, 8> known = {{
        {L"ftp", Scheme::Ftp},
        {L"gopher", Scheme::Gopher},
        {L"http", Scheme::Http},
        {L"https", Scheme::Https},
        {L"file", Scheme::File},
        {L"news", Scheme::News},
        {L"mailto", Scheme::Mailto},
        {L"socks", Scheme::Socks},
    }};
    for (const Known& entry : known)
        if (EqualsIgnoringCase(name, entry.name))
            return entry.scheme;
    return Scheme::Unknown;
}

// Length of the scheme name before its ":", or 0 when the address does not start with one.
size_t SchemeLength(std::wstring_view url) noexcept
{
    if (url.empty() || !IsAsciiLetter(url[0]))
        return 0;
    size_t length = 1;
    while (length < url.size() && IsSchemeCharacter(url[length]))
        ++length;
    if (length >= url.size() || url[length] != L':' || length > kMaxScheme)
        return 0;
    return length;
}

// The user name and password before "@", each within its limit.
bool UserInfoFits(std::wstring_view userInfo) noexcept
{
    const size_t colon = userInfo.find(L':');
    const std::wstring_view user = userInfo.substr(0, colon);
    const std::wstring_view password =
        colon == std::wstring_view::npos ? std::wstring_view() : userInfo.substr(colon + 1);
    return user.size() <= kMaxUserName && password.size() <= kMaxPassword;
}

bool PortFits(std::wstring_view port) noexcept
{
    if (port.size() > kMaxPort)
        return false;
    unsigned long value = 0;
    for (const wchar_t c : port)
    {
        if (!IsDigit(c))
            return false;
        value = value * 10 + static_cast<unsigned long>(c - L'0');
    }
    return value <= kHighestPort;
}

// Path and extra part: everything after the host and port.
bool RestFits(std::wstring_view rest) noexcept
{
    const size_t extraStart = rest.find_first_of(L"?#");
    const std::wstring_view path = rest.substr(0, extraStart);
    const std::wstring_view extra =
        extraStart == std::wstring_view::npos ? std::wstring_view() : rest.substr(extraStart);
    return path.size() <= kMaxPath && extra.size() <= kMaxExtra;
}
} // namespace

std::optional<std::wstring> HostFromUrl(const std::wstring& address)
{
    const std::wstring_view url(address);
    const size_t schemeLength = SchemeLength(url);
    if (schemeLength == 0)
        return std::nullopt;
    const Scheme scheme = RecogniseScheme(url.substr(0, schemeLength));
    std::wstring_view rest = url.substr(schemeLength + 1);
    if (rest.substr(0, 2) != L"//")
        return std::nullopt;
    rest.remove_prefix(2);

    // The user information ends at the last "@" before the path or the extra part begins, so an "@" in
    // a query ("?mail=a@b.c") is not taken for one.
    const size_t authorityEnd = rest.find_first_of(L"/?#");
    const size_t at = rest.substr(0, authorityEnd).rfind(L'@');
    if (at != std::wstring_view::npos)
    {
        if (!UserInfoFits(rest.substr(0, at)))
            return std::nullopt;
        rest.remove_prefix(at + 1);
    }

    const size_t hostEnd = rest.find_first_of(L":/?");
    const std::wstring_view host = rest.substr(0, hostEnd);
    if (host.size() > kMaxHost || (host.empty() && scheme != Scheme::File))
        return std::nullopt;
    rest.remove_prefix(host.size());

    if (!rest.empty() && rest[0] == L':')
    {
        const size_t portEnd = rest.find_first_of(L"/?#");
        if (!PortFits(rest.substr(1, portEnd == std::wstring_view::npos ? std::wstring_view::npos : portEnd - 1)))
            return std::nullopt;
        rest.remove_prefix(portEnd == std::wstring_view::npos ? rest.size() : portEnd);
    }

    if (!RestFits(rest))
        return std::nullopt;
    return std::wstring(host);
}
