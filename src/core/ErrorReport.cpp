// Message box and event-log reports.
#include "core/ErrorReport.h"

#include <rpc.h>

#include <atomic>
#include <new>

#include "core/ActivationContext.h"
#include "core/ScopedHandle.h"
#include "module/Module.h"
#include "resources/resource.h"

namespace
{
std::atomic<EventLogWriter> testWriter{nullptr};

// The text of what() (the library's own messages are ASCII); other bytes become "?".
std::wstring AsciiToWide(const char* text)
{
    std::wstring wide;
    for (; text && *text; ++text)
        wide += static_cast<unsigned char>(*text) < 0x80 ? static_cast<wchar_t>(*text) : L'?';
    return wide;
}

void WriteEventLog(DWORD eventId, const std::array<std::wstring, 3>& strings) noexcept
{
    const EventSourceHandle source(RegisterEventSourceW(nullptr, L"Quillbury"));
    if (!source)
        return;
    const wchar_t* texts[3] = {strings[0].c_str(), strings[1].c_str(), strings[2].c_str()};
    ReportEventW(source.Get(), EVENTLOG_ERROR_TYPE, 0 /* category */, eventId, nullptr /* user */, 3, 0, texts,
                 nullptr /* raw data */);
}
} // namespace

std::array<std::wstring, 3> EventStrings(const wexception<std::runtime_error>& error)
{
    return {error.message, error.file, std::to_wstring(error.line)};
}

void LogError(DWORD eventId, const wexception<std::runtime_error>& error) noexcept
try
{
    const auto strings = EventStrings(error);
    if (const EventLogWriter writer = testWriter.load())
        writer(eventId, strings);
    else
        WriteEventLog(eventId, strings);
}
catch (...)
{
    // Out of memory while building the strings: a report must never fail its caller.
}

void ShowError(const wexception<std::runtime_error>& error) noexcept
try
{
    const std::wstring text = LoadResourceString(IDS_ERROR_PREFIX) + error.message;
    const std::wstring caption = LoadResourceString(IDS_PRODUCT_NAME);
    {
        const ActivationScope scope;
        if (scope.IsActive())
            MessageBoxW(GetActiveWindow(), text.c_str(), caption.c_str(), MB_OK | MB_ICONEXCLAMATION);
    }
    LogError(kBrowserThreadEventId, error);
}
catch (...)
{
    LogError(kBrowserThreadEventId, error);
}

std::wstring LoadResourceString(UINT id)
{
    wchar_t buffer[500];
    const int length = LoadStringW(ModuleInstance(), id, buffer, 500);
    return length > 0 ? std::wstring(buffer, static_cast<size_t>(length)) : std::wstring();
}

std::wstring GuidToString(const GUID& guid)
{
    struct RpcText
    {
        RPC_WSTR text = nullptr;
        ~RpcText()
        {
            if (text)
                RpcStringFreeW(&text);
        }
    } rpc;
    GUID copy = guid; // UuidToStringW takes a non-const pointer
    const RPC_STATUS status = UuidToStringW(&copy, &rpc.text);
    if (status != RPC_S_OK)
        throw AtLocation(windows_error(static_cast<unsigned long>(status)), kGuidToStringFailed);
    return L"{" + std::wstring(reinterpret_cast<const wchar_t*>(rpc.text)) + L"}";
}

HRESULT UnexpectedFailure() noexcept
{
    try
    {
        throw;
    }
    catch (const std::bad_alloc&)
    {
        return E_OUTOFMEMORY;
    }
    catch (...)
    {
        return E_UNEXPECTED;
    }
}

void LogUnexpectedFailure(const SourceLocation& where) noexcept
{
    try
    {
        std::wstring text = L"unexpected exception";
        try
        {
            throw;
        }
        catch (const std::exception& error)
        {
            text = AsciiToWide(error.what());
        }
        catch (...)
        {
        }
        LogError(kBrowserThreadEventId, AtLocation(wexception<std::runtime_error>(text), where));
    }
    catch (...)
    {
        // Out of memory for the report itself: nothing more can be done here.
    }
}

EventLogWriter SetEventLogWriterForTesting(EventLogWriter writer) noexcept
{
    return testWriter.exchange(writer);
}
