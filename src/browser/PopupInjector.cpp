#include "browser/PopupInjector.h"

#include <oleauto.h>

#include <new>

#include "core/Bstr.h"
#include "core/ScopedHandle.h"
#include "core/Text.h"
#include "module/Module.h"
#include "resources/resource.h"

namespace
{
using ScopedBstr = GenericScopedHandle<BSTR, &SysFreeString>;

// The bytes of a resource of ours up to its first zero (the resource itself carries none), or empty.
std::string LoadPopupResource(UINT id)
{
    const HMODULE module = ModuleInstance();
    if (!module)
        return {};
    const HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(RT_POPUP_RESOURCE));
    if (!found)
        return {};
    const HGLOBAL loaded = LoadResource(module, found);
    const DWORD size = SizeofResource(module, found);
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    if (!bytes || size == 0)
        return {};
    const std::string text(static_cast<const char*>(bytes), size);
    return text.substr(0, text.find('\0'));
}

ScopedBstr WideBstr(const std::wstring& text)
{
    ScopedBstr result(SysAllocStringLen(text.data(), static_cast<UINT>(text.size())));
    if (!result)
        throw std::bad_alloc();
    return result;
}

// Runs a script in the window; its value and the call's result do not matter to us.
void RunScript(IHTMLWindow2& window, BSTR script)
{
    const ScopedBstr language = WideBstr(L"JavaScript");
    VARIANT value;
    VariantInit(&value);
    window.execScript(script, language.Get(), &value);
    VariantClear(&value);
}

ComPtr<IHTMLWindow2> WindowOf(IHTMLDocument2& document)
{
    ComPtr<IHTMLWindow2> window;
    if (FAILED(document.get_parentWindow(window.Receive())))
        window.Reset();
    return window;
}

bool Inject(const PopupRequest& request)
{
    if (!request.document)
        return false;
    IHTMLDocument2& document = *request.document.Get();

    // Hides a popup an earlier injection showed in this page, with the library that is already there.
    if (!request.preScript.empty())
    {
        if (const ComPtr<IHTMLWindow2> window = WindowOf(document))
            RunScript(*window.Get(), WideBstr(request.preScript).Get());
    }

    ComPtr<IHTMLElement> body;
    if (FAILED(document.get_body(body.Receive())) || !body)
        return false;
    // A page without content (still loading, or a frameset) gets no popup.
    ScopedBstr former;
    if (FAILED(body->get_innerHTML(former.Receive())) || SysStringLen(former.Get()) == 0)
        return false;

    const std::wstring html = FillTemplate(NarrowToWide(LoadPopupResource(request.templateId)), request.replacements);
    // The page's own nodes are left alone: their state (typed text, handlers) survives, unlike a rewrite of
    // the whole body from its HTML.
    // A page may refuse the insertion (a frameset, a document that forbids it): then nothing is shown.
    if (FAILED(body->insertAdjacentHTML(WideBstr(L"afterBegin").Get(), WideBstr(html).Get())))
        return false;

    const ComPtr<IHTMLWindow2> window = WindowOf(document);
    if (!window)
        return false;
    const std::string script = LoadPopupResource(IDR_POPUP_SCRIPT) + WideToNarrow(request.scriptCall);
    const ScopedBstr code(NarrowToBstr(script.c_str()));
    RunScript(*window.Get(), code.Get());
    return true;
}
} // namespace

bool InjectPopup(const PopupRequest& request) noexcept
{
    try
    {
        return Inject(request);
    }
    catch (...)
    {
        // Only a failed allocation or conversion gets here; the page simply shows no popup.
        return false;
    }
}
