// Puts one of the popups carried as resources into a page: the filled template goes in at the beginning of
// the body (the page's own content stays as it is, with its state and handlers), then the script library
// runs in the page's window together with the call that shows the popup's element.
#pragma once

#include <windows.h>

#include <mshtml.h>

#include <string>

#include "browser/HtmlEscape.h"
#include "core/ComHelper.h"

struct PopupRequest
{
    ComPtr<IHTMLDocument2> document;
    std::wstring preScript; // run alone before anything else when not empty
    UINT templateId = 0;    // IDR_SHOP_POPUP or IDR_VOUCHER_POPUP
    TemplateReplacements replacements;
    std::wstring scriptCall; // appended to the script library, e.g. "Popup.show('popupdiv')"
};

// Runs on the thread of the document. Returns true when it got as far as running the script call in the
// page's window; false when it stopped before: no document, no body, a body whose HTML is empty, an
// insertion the page refused, or no window. Reads the template and the script library from the module on every call; a
// missing resource counts as empty text. Never throws: it is called from the browser's event handlers, and a failed DOM
// call is an expected answer here, not an error to report.
[[nodiscard]] bool InjectPopup(const PopupRequest& request) noexcept;
