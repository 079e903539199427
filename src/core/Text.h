// Text conversion, the password digest and the query-value encoder. Portable: no Win32 here, so the same
// code runs in the DLL and in the native unit tests.
//
// Wide text is UTF-16 code units on Windows (std::wstring); narrow text is bytes in the calling thread's ANSI
// code page. The native build has no thread code page and uses Windows-1252 for both directions, so the
// password digest is the same on both builds for the text a Western European user types.
#pragma once

#include <string>

// Narrow to wide in the thread's ANSI code page, up to the first NUL. Empty when the conversion fails.
std::wstring NarrowToWide(const std::string& text);

// Wide to narrow in the thread's ANSI code page, up to the first NUL; characters the code page cannot hold
// become its default character. Empty when the conversion fails.
std::string WideToNarrow(const std::wstring& text);

// MD5 of exactly the bytes of the text, as 32 lowercase hexadecimal digits.
std::string Md5Hex(const std::string& text);

// The stored and sent form of a password: Md5Hex of its narrow text, as wide text.
std::wstring PasswordDigest(const std::wstring& password);

// Percent-encoding of a query value: letters, digits, '-' and '.' stay, a space becomes '+', every other
// byte of the narrow text becomes '%' and two lowercase hexadecimal digits.
std::wstring UrlEncode(const std::wstring& text);

// The text with the first occurrence of search replaced; an empty search text matches at the start.
std::wstring ReplaceFirst(std::wstring text, const std::wstring& search, const std::wstring& replacement);
