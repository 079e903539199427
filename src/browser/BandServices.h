// What the toolbar asks of the band that hosts it.
#pragma once

#include <windows.h>

#include <exdisp.h>
#include <shlobj.h>

#include <string>

#include "core/ComHelper.h"

class BandServices
{
public:
    // The band's browser; empty when the band is not sited.
    [[nodiscard]] virtual ComPtr<IWebBrowser2> GetWebBrowser() = 0;
    // The site told about focus changes; empty when the band is not sited.
    [[nodiscard]] virtual ComPtr<IInputObjectSite> GetInputObjectSite() = 0;
    // The band itself, as passed to IInputObjectSite::OnFocusChangeIS.
    [[nodiscard]] virtual IUnknown* BandUnknown() = 0;
    // The text of the search box.
    [[nodiscard]] virtual std::wstring GetSearchText() = 0;
    // Opens the address in the band's own browser window; throws com_error when the browser refuses.
    virtual void Navigate(const std::wstring& url) = 0;

protected:
    ~BandServices() = default;
};
