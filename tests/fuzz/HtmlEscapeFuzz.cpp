// EscapeHtml: the escaped text holds no "<", ">", quote or apostrophe, each "&" in it begins one of the five
// entities, and reading them back gives the text.
#include "FuzzInput.h"
#include "browser/HtmlEscape.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::wstring text = Widen(data, size);
    const std::wstring escaped = EscapeHtml(text);
    const std::wstring names[] = {L"&amp;", L"&lt;", L"&gt;", L"&quot;", L"&#39;"};
    std::wstring unescaped;
    for (size_t at = 0, n = 0; at < escaped.size(); at += escaped[at] == L'&' ? names[n].size() : 1)
    {
        for (n = 0; n < 5 && escaped.compare(at, names[n].size(), names[n]) != 0;)
            ++n;
        Check(escaped[at] == L'&' ? n < 5 : std::wstring(L"<>\"'").find(escaped[at]) == std::wstring::npos);
        unescaped += escaped[at] == L'&' ? L"&<>\"'"[n] : escaped[at];
    }
    Check(unescaped == text);

    return 0;
}
