#include "browser/HtmlEscape.h"

std::wstring EscapeHtml(const std::wstring& text)
{
    std::wstring escaped;
    escaped.reserve(text.size());
    for (const wchar_t c : text)
    {
        switch (c)
        {
        case L'&':
            escaped += L"&amp;";
            break;
        case L'<':
            escaped += L"&lt;";
            break;
        case L'>':
            escaped += L"&gt;";
            break;
        case L'"':
            escaped += L"&quot;";
            break;
        case L'\'':
            escaped += L"&#39;";
            break;
        default:
            escaped += c;
        }
    }
    return escaped;
}

std::wstring FillTemplate(std::wstring text, const TemplateReplacements& replacements)
{
    for (const auto& [placeholder, value] : replacements)
    {
        if (placeholder.empty())
            continue;
        const std::wstring escaped = EscapeHtml(value);
        for (size_t at = text.find(placeholder); at != std::wstring::npos;
             at = text.find(placeholder, at + escaped.size()))
            text.replace(at, placeholder.size(), escaped);
    }
    return text;
}
