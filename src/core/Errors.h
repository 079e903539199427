// The exception family every unexpected failure travels in: a wide message, the source unit that raised it
// and a line there. Errors are raised with AtLocation(error, kSomeLocation) and caught only at the edges
// (COM methods, window and dialog procedures, thread procedures), which turn them into one of the two
// reports of ErrorReport.h.
#pragma once

#include <windows.h>

#include <stdexcept>
#include <string>

// A stable place in the source that the event log names. Each raise site defines its own once, so moving
// code never changes what a support engineer reads in the log.
struct SourceLocation
{
    const wchar_t* file;
    int line;
};

// Converts with the system ANSI code page; used only for what() of the family.
std::string AnsiFromWide(const std::wstring& text);

template <class E> class wexception : public E
{
public:
    explicit wexception(const std::wstring& text) : E(AnsiFromWide(text)), message(text) {}

    std::wstring message; // the text shown and logged
    std::wstring file;    // the raising unit; empty until a location is attached
    int line = 0;         // the line in that unit; 0 until a location is attached
};

// A failed Win32 call or HRESULT; the message is the system's text for the code.
class windows_error : public wexception<std::runtime_error>
{
public:
    explicit windows_error(unsigned long errorCode);

    unsigned long code;

protected:
    windows_error(unsigned long errorCode, const std::wstring& text);
};

// A failed call on a COM interface. The message comes from the object's error information when it offers
// some for that interface, otherwise it is the system text of the HRESULT. Built by MakeComError
// (ComHelper.h), which knows the interface.
class com_error : public windows_error
{
public:
    com_error(HRESULT result, const std::wstring& text);
};

// A copy of the error, of the same type, carrying the location; the copy is what gets thrown.
template <class Error> [[nodiscard]] Error AtLocation(Error error, const SourceLocation& location)
{
    error.file = location.file;
    error.line = location.line;
    return error;
}

// The system's text for a Win32 code or HRESULT, including its closing line break, or
// "Error code: 0x" followed by the code in lowercase hexadecimal when the system has none.
std::wstring FormatSystemMessage(unsigned long code);

// A windows_error for GetLastError(), read before anything else can overwrite it.
[[nodiscard]] windows_error LastWindowsError();
