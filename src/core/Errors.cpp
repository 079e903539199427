// The error family's constructors and the system message lookup.
#include "core/Errors.h"

#include <cwchar>

#include "core/ScopedHandle.h"

std::string AnsiFromWide(const std::wstring& text)
{
    if (text.empty())
        return {};
    const int length = static_cast<int>(text.size());
    const int size = WideCharToMultiByte(CP_ACP, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
    if (size <= 0)
        return {};
    std::string narrow(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.data(), length, narrow.data(), size, nullptr, nullptr);
    return narrow;
}

windows_error::windows_error(unsigned long errorCode)
    : wexception<std::runtime_error>(FormatSystemMessage(errorCode)), code(errorCode)
{
}

windows_error::windows_error(unsigned long errorCode, const std::wstring& text)
    : wexception<std::runtime_error>(text), code(errorCode)
{
}

com_error::com_error(HRESULT result, const std::wstring& text) : windows_error(static_cast<unsigned long>(result), text)
{
}

std::wstring FormatSystemMessage(unsigned long code)
{
    wchar_t* buffer = nullptr;
    const DWORD length =
        FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM, nullptr, code,
                       MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    const LocalMemory owner(buffer);
    if (length != 0 && buffer)
        return std::wstring(buffer, length);

    wchar_t text[32];
    swprintf(text, 32, L"Error code: 0x%lx", code);
    return text;
}

windows_error LastWindowsError()
{
    return windows_error(GetLastError());
}
