// SearchBHOBrowserEventSink: what the helper object does with the events of its tab's browser.
//  - BeforeNavigate2 to one of the service's password or login pages: a delayed main worker picks up a
//    password or e-mail change made there.
//  - DocumentComplete of a participating shop's page: the shop popup goes into the page, once per shop in
//    this process.
//  - OnQuit: the tab gives back its share of the frame thread's keyboard hook.
// Embedded in the helper object and called only on the tab's thread.
#pragma once

#include <string>

#include "browser/DispatchEventSink.h"

class SearchBrowserHelper;
class ShopList;

// How the delayed main worker is started; tests substitute a recorder.
using MainWorkerStarter = void (*)(volatile LONG* done, volatile LONG* running, DWORD delay);

// True when the lower-cased address holds the service's domain immediately followed by the path of its
// password reminder, login check or e-mail and password change page.
[[nodiscard]] bool IsServiceAccountPage(const std::wstring& url);

class SearchBHOBrowserEventSink final : public DispatchEventSink
{
public:
    explicit SearchBHOBrowserEventSink(SearchBrowserHelper& helper) noexcept;

    // IDispatch. S_OK for every event; after a reported failure the com_error's code, or E_FAIL for the
    // other errors of the family. Nothing escapes into the browser.
    STDMETHODIMP Invoke(DISPID dispId, REFIID riid, LCID locale, WORD flags, DISPPARAMS* parameters, VARIANT* result,
                        EXCEPINFO* exception, UINT* argumentError) override;

    // The list pages are matched against. By default (null) the list of the toolbar on this thread, looked up
    // at every event: the browser may have taken the band off its site, or sited a new one, since the last.
    // Tests set a list of their own. Not owned.
    void SetShopList(const ShopList* list) noexcept { fixedShopList = list; }

    void SetMainWorkerStarter(MainWorkerStarter starter) noexcept { startMainWorker = starter; }

private:
    void OnBeforeNavigate2(const DISPPARAMS& parameters);
    void OnDocumentComplete(const DISPPARAMS& parameters);

    SearchBrowserHelper& owner;
    const ShopList* fixedShopList = nullptr;
    MainWorkerStarter startMainWorker;
};
