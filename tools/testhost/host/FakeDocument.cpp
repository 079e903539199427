// The page document fake and the captured page it writes.
#include "host/FakeDocument.h"

#include <cwctype>
#include <fstream>

namespace testhost
{
namespace
{

// "</script" inside a script would end the element early; "<\/script" means the same to the script.
std::wstring EscapeScriptText(std::wstring code)
{
    static const std::wstring closing = L"</script";
    for (std::wstring::size_type at = 0; at + closing.size() <= code.size(); ++at)
    {
        bool same = true;
        for (std::wstring::size_type index = 0; index < closing.size() && same; ++index)
            same = std::towlower(code[at + index]) == closing[index];
        if (same)
            code.insert(at + 1, 1, L'\\');
    }
    return code;
}

bool IsJavaScript(const std::wstring& language)
{
    std::wstring lower;
    for (const wchar_t letter : language)
        lower += static_cast<wchar_t>(std::towlower(letter));
    return lower.empty() || lower == L"javascript" || lower == L"jscript";
}

} // namespace

ComPtr<FakeDocument> FakeDocument::Create(const std::wstring& bodyHtml, const std::wstring& url)
{
    ComPtr<FakeDocument> document = MakeFake<FakeDocument>(url);
    document->body = FakeElement::Create(bodyHtml);
    document->window = FakeWindow::Create();
    return document;
}

std::wstring FakeDocument::BodyHtml() const
{
    return body ? body->InnerHtml() : std::wstring();
}

std::vector<ExecutedScript> FakeDocument::Scripts() const
{
    return window ? window->Scripts() : std::vector<ExecutedScript>();
}

std::wstring FakeDocument::CapturedPage() const
{
    std::wstring page =
        L"<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Captured page</title></head><body>";
    page += BodyHtml();
    for (const ExecutedScript& script : Scripts())
    {
        page += IsJavaScript(script.language) ? L"\n<script>" : L"\n<script type=\"text/x-" + script.language + L"\">";
        page += EscapeScriptText(script.code);
        page += L"</script>";
    }
    page += L"\n</body></html>\n";
    return page;
}

bool FakeDocument::WriteCapturedPage(const std::wstring& path) const
{
    const std::wstring page = CapturedPage();
    const int size = WideCharToMultiByte(CP_UTF8, 0, page.data(), static_cast<int>(page.size()), nullptr, 0,
                                         nullptr /* default char */, nullptr /* used default */);
    std::string bytes(static_cast<std::string::size_type>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, page.data(), static_cast<int>(page.size()), bytes.data(), size, nullptr, nullptr);
    std::ofstream file(path.c_str(), std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(file);
}

STDMETHODIMP FakeDocument::QueryInterface(REFIID iid, void** object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (IsRefused(refusedInterfaces, iid))
        return E_NOINTERFACE;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, IID_IHTMLDocument) ||
        IsEqualIID(iid, IID_IHTMLDocument2))
    {
        *object = static_cast<IHTMLDocument2*>(this);
        AddRef();
        return S_OK;
    }
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) FakeDocument::Release()
{
    const ULONG count = --refCount;
    if (count == 0)
        delete this;
    return count;
}

STDMETHODIMP FakeDocument::get_body(IHTMLElement** p)
{
    if (!p)
        return E_POINTER;
    *p = nullptr;
    if (FAILED(bodyResult))
        return bodyResult;
    if (body)
    {
        *p = body.Get();
        (*p)->AddRef();
    }
    return S_OK;
}

STDMETHODIMP FakeDocument::get_URL(BSTR* p)
{
    if (!p)
        return E_POINTER;
    *p = AllocBstr(url);
    return S_OK;
}

STDMETHODIMP FakeDocument::get_parentWindow(IHTMLWindow2** p)
{
    if (!p)
        return E_POINTER;
    *p = nullptr;
    if (FAILED(windowResult))
        return windowResult;
    if (window)
    {
        *p = window.Get();
        (*p)->AddRef();
    }
    return S_OK;
}

} // namespace testhost
