// The portable text helpers: digest, encoder, replacement. The code-page conversions live in
// TextConvertWin.cpp (the DLL) and TextConvertHost.cpp (native builds).
#include "core/Text.h"

#include "core/Md5.h"

std::string Md5Hex(const std::string& text)
{
    Md5Digest digest;
    digest.Update(text.data(), static_cast<uint32_t>(text.size()));
    digest.Finalize();
    return digest.HexText();
}

std::wstring PasswordDigest(const std::wstring& password)
{
    return NarrowToWide(Md5Hex(WideToNarrow(password)));
}

std::wstring UrlEncode(const std::wstring& text)
{
    static constexpr char kDigits[] = "0123456789abcdef";
    const std::string narrow = WideToNarrow(text);
    std::wstring encoded;
    encoded.reserve(narrow.size() * 3);
    for (const char c : narrow)
    {
        const auto byte = static_cast<unsigned char>(c);
        const bool letter = (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z');
        const bool digit = byte >= '0' && byte <= '9';
        if (letter || digit || byte == '-' || byte == '.')
            encoded.push_back(static_cast<wchar_t>(byte));
        else if (byte == ' ')
            encoded.push_back(L'+');
        else
        {
            encoded.push_back(L'%');
            encoded.push_back(static_cast<wchar_t>(kDigits[byte >> 4]));
            encoded.push_back(static_cast<wchar_t>(kDigits[byte & 0x0f]));
        }
    }
    return encoded;
}

std::wstring ReplaceFirst(std::wstring text, const std::wstring& search, const std::wstring& replacement)
{
    const size_t at = text.find(search);
    if (at != std::wstring::npos)
        text.replace(at, search.size(), replacement);
    return text;
}
