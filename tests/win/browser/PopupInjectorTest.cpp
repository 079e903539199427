// InjectPopup against a recording page: what goes into the body and where, which scripts run in which order,
// where it stops, and that it hands back every reference it took. The templates and the script library are
// the real resources, linked into this program.
#include "browser/PopupInjector.h"

#include <oleauto.h>

#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "core/Text.h"
#include "net/ServiceConfig.h"
#include "resources/resource.h"

namespace
{
// The document, its body and its window, played by one recording. Each of the three objects answers its
// interface through a table of our own: the slots a test plays are found through the interface's member
// pointers, every other slot answers E_NOTIMPL. (The three interfaces have some 280 methods between them, of
// which InjectPopup may call six.)
struct Page;

struct FakeObject
{
    const void* const* table; // first, where a caller finds the interface's table
    Page* page;
    const IID* iid;
};

struct Page
{
    HRESULT bodyResult = S_OK;
    bool hasBody = true;
    HRESULT innerHtmlResult = S_OK;
    const wchar_t* innerHtml = L"<form><input name=\"q\"></form>";
    HRESULT windowResult = S_OK;
    bool hasWindow = true;

    std::vector<std::wstring> calls;
    std::vector<std::wstring> inserted; // "where|html" for each insertAdjacentHTML
    std::vector<std::wstring> scripts;  // "language|code" for each execScript
    long references = 0;                // taken through AddRef and not yet given back

    FakeObject document{nullptr, this, &__uuidof(IHTMLDocument2)};
    FakeObject body{nullptr, this, &__uuidof(IHTMLElement)};
    FakeObject window{nullptr, this, &__uuidof(IHTMLWindow2)};
};

std::wstring Text(BSTR text)
{
    return text ? std::wstring(text, SysStringLen(text)) : L"(null)";
}

HRESULT STDMETHODCALLTYPE NotImplemented()
{
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE QueryInterfaceSlot(FakeObject* self, REFIID iid, void** object)
{
    *object = nullptr;
    if (iid != IID_IUnknown && iid != IID_IDispatch && iid != *self->iid)
        return E_NOINTERFACE;
    *object = self;
    ++self->page->references;
    return S_OK;
}

ULONG STDMETHODCALLTYPE AddRefSlot(FakeObject* self)
{
    return static_cast<ULONG>(++self->page->references);
}

ULONG STDMETHODCALLTYPE ReleaseSlot(FakeObject* self)
{
    return static_cast<ULONG>(--self->page->references);
}

// Hands out one of the page's objects the way a COM getter does: with a reference, or null.
template <class I> HRESULT Give(FakeObject& object, bool present, HRESULT result, I** out)
{
    *out = nullptr;
    if (FAILED(result) || !present)
        return result;
    ++object.page->references;
    *out = reinterpret_cast<I*>(&object);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE GetBody(FakeObject* self, IHTMLElement** body)
{
    Page& page = *self->page;
    page.calls.push_back(L"get_body");
    return Give(page.body, page.hasBody, page.bodyResult, body);
}

HRESULT STDMETHODCALLTYPE GetParentWindow(FakeObject* self, IHTMLWindow2** window)
{
    Page& page = *self->page;
    page.calls.push_back(L"get_parentWindow");
    return Give(page.window, page.hasWindow, page.windowResult, window);
}

HRESULT STDMETHODCALLTYPE GetInnerHtml(FakeObject* self, BSTR* html)
{
    Page& page = *self->page;
    page.calls.push_back(L"get_innerHTML");
    *html = SUCCEEDED(page.innerHtmlResult) && page.innerHtml ? SysAllocString(page.innerHtml) : nullptr;
    return page.innerHtmlResult;
}

HRESULT STDMETHODCALLTYPE PutInnerHtml(FakeObject* self, BSTR)
{
    self->page->calls.push_back(L"put_innerHTML");
    return S_OK;
}

HRESULT STDMETHODCALLTYPE InsertAdjacentHtml(FakeObject* self, BSTR where, BSTR html)
{
    self->page->calls.push_back(L"insertAdjacentHTML");
    self->page->inserted.push_back(Text(where) + L"|" + Text(html));
    return S_OK;
}

HRESULT STDMETHODCALLTYPE ExecScript(FakeObject* self, BSTR code, BSTR language, VARIANT* result)
{
    self->page->calls.push_back(L"execScript");
    self->page->scripts.push_back(Text(language) + L"|" + Text(code));
    if (result)
        V_VT(result) = VT_EMPTY;
    return S_OK;
}

// The slot of a virtual method. GCC follows the Itanium C++ ABI here as on every x86-64 target: a pointer to
// a virtual member function holds 1 plus the byte offset of its slot in the table, and a zero adjustment.
template <class Method> size_t SlotOf(Method method)
{
    static_assert(sizeof(Method) == 2 * sizeof(std::ptrdiff_t));
    std::ptrdiff_t parts[2];
    std::memcpy(parts, &method, sizeof parts);
    EXPECT_EQ(parts[0] % 2, 1) << "not a virtual member";
    EXPECT_EQ(parts[1], 0);
    return static_cast<size_t>(parts[0] - 1) / sizeof(void*);
}

constexpr size_t kSlots = 512; // more than any of the three interfaces has

template <class Function> const void* Entry(Function function)
{
    return reinterpret_cast<const void*>(function);
}

struct Table
{
    std::vector<const void*> slots = std::vector<const void*>(kSlots, Entry(&NotImplemented));

    Table()
    {
        slots[0] = Entry(&QueryInterfaceSlot);
        slots[1] = Entry(&AddRefSlot);
        slots[2] = Entry(&ReleaseSlot);
    }
    template <class Method, class Function> Table& Play(Method method, Function function)
    {
        slots.at(SlotOf(method)) = Entry(function);
        return *this;
    }
};

const Table& DocumentTable()
{
    static const Table table =
        Table().Play(&IHTMLDocument2::get_body, &GetBody).Play(&IHTMLDocument2::get_parentWindow, &GetParentWindow);
    return table;
}

const Table& ElementTable()
{
    static const Table table = Table()
                                   .Play(&IHTMLElement::get_innerHTML, &GetInnerHtml)
                                   .Play(&IHTMLElement::put_innerHTML, &PutInnerHtml)
                                   .Play(&IHTMLElement::insertAdjacentHTML, &InsertAdjacentHtml);
    return table;
}

const Table& WindowTable()
{
    static const Table table = Table().Play(&IHTMLWindow2::execScript, &ExecScript);
    return table;
}

// A resource of this program (which links the add-on's resources), read directly.
std::string ResourceBytes(UINT id)
{
    const HMODULE module = GetModuleHandleW(nullptr);
    const HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(RT_POPUP_RESOURCE));
    if (!found)
        return {};
    return std::string(static_cast<const char*>(LockResource(LoadResource(module, found))),
                       SizeofResource(module, found));
}

size_t Count(const std::wstring& text, const std::wstring& part)
{
    size_t count = 0;
    for (size_t at = text.find(part); at != std::wstring::npos; at = text.find(part, at + part.size()))
        ++count;
    return count;
}

const std::wstring kLink = L"http://www.quillbury.co.uk/go/?y=abc&t=&m=&i=17&f=abc&curr_url=http%3a%2f%2fshop";
const std::wstring kCode = L"\"SAVE<10>\" & 'more'";
const std::wstring kLibrary = NarrowToWide(ResourceBytes(IDR_POPUP_SCRIPT));

class PopupInjectorTest : public testing::Test
{
protected:
    void SetUp() override
    {
        page.document.table = DocumentTable().slots.data();
        page.body.table = ElementTable().slots.data();
        page.window.table = WindowTable().slots.data();
    }
    void TearDown() override { EXPECT_EQ(page.references, 0) << "every reference taken is given back"; }

    PopupRequest Request(UINT templateId, TemplateReplacements replacements, std::wstring call,
                         std::wstring preScript = {})
    {
        PopupRequest request;
        request.document = ComPtr<IHTMLDocument2>(reinterpret_cast<IHTMLDocument2*>(&page.document));
        request.preScript = std::move(preScript);
        request.templateId = templateId;
        request.replacements = std::move(replacements);
        request.scriptCall = std::move(call);
        return request;
    }
    PopupRequest ShopRequest()
    {
        return Request(IDR_SHOP_POPUP, {{L"%TARGET-URL-HERE%", kLink}}, L"Popup.show('popupdiv')");
    }
    PopupRequest VoucherRequest()
    {
        return Request(IDR_VOUCHER_POPUP, {{L"%TARGET-URL-HERE%", kLink}, {L"%VOUCHER-CODE-HERE%", kCode}},
                       L"Popup.showModal('popupvdiv');", L"Popup.hide('popupdiv');");
    }

    Page page;
};

TEST_F(PopupInjectorTest, ResourcesArePlainAsciiWithCrlfAndTheConfiguredServiceAddress)
{
    for (const UINT id : {UINT{IDR_POPUP_SCRIPT}, UINT{IDR_SHOP_POPUP}, UINT{IDR_VOUCHER_POPUP}})
    {
        SCOPED_TRACE(id);
        const std::string bytes = ResourceBytes(id);
        ASSERT_GT(bytes.size(), 1000u);
        for (size_t i = 0; i < bytes.size(); ++i)
        {
            const auto c = static_cast<unsigned char>(bytes[i]);
            ASSERT_TRUE(c == '\t' || c == '\r' || c == '\n' || (c >= 0x20 && c < 0x7f)) << "byte " << i;
            if (c == '\n')
            {
                ASSERT_TRUE(i > 0 && bytes[i - 1] == '\r') << "line end at " << i;
            }
        }
        EXPECT_EQ(bytes.find('@'), std::string::npos) << "nothing left unconfigured";
    }
    const std::wstring shop = NarrowToWide(ResourceBytes(IDR_SHOP_POPUP));
    EXPECT_NE(shop.find(std::wstring(QB_SERVICE_BASE_URL) + L"images/tb_popup.png"), std::wstring::npos);
}

TEST_F(PopupInjectorTest, StopsBeforeTouchingAPageWithoutContent)
{
    struct Case
    {
        const char* name;
        HRESULT bodyResult;
        bool hasBody;
        HRESULT innerHtmlResult;
        const wchar_t* innerHtml;
    };
    const Case cases[] = {
        {"get_body fails", E_FAIL, true, S_OK, L"<p>x</p>"},
        {"no body", S_OK, false, S_OK, L"<p>x</p>"},
        {"get_innerHTML fails", S_OK, true, E_ACCESSDENIED, L"<p>x</p>"},
        {"null HTML", S_OK, true, S_OK, nullptr},
        {"empty HTML", S_OK, true, S_OK, L""},
    };
    for (const Case& test : cases)
    {
        SCOPED_TRACE(test.name);
        page.calls.clear();
        page.bodyResult = test.bodyResult;
        page.hasBody = test.hasBody;
        page.innerHtmlResult = test.innerHtmlResult;
        page.innerHtml = test.innerHtml;
        EXPECT_FALSE(InjectPopup(ShopRequest()));
        EXPECT_TRUE(page.inserted.empty());
        EXPECT_TRUE(page.scripts.empty());
        EXPECT_EQ(page.references, 0);
    }
}

TEST_F(PopupInjectorTest, ShopPopupGoesInAtTheBeginningOfTheBodyThenTheLibraryRunsWithTheCall)
{
    ASSERT_TRUE(InjectPopup(ShopRequest()));

    const std::vector<std::wstring> order{L"get_body", L"get_innerHTML", L"insertAdjacentHTML", L"get_parentWindow",
                                          L"execScript"};
    EXPECT_EQ(page.calls, order) << "the page's content is never rewritten (no put_innerHTML)";
    ASSERT_EQ(page.inserted.size(), 1u);
    const std::wstring html = page.inserted[0].substr(page.inserted[0].find(L'|') + 1);
    EXPECT_EQ(page.inserted[0].substr(0, page.inserted[0].find(L'|')), L"afterBegin");
    EXPECT_EQ(html, FillTemplate(NarrowToWide(ResourceBytes(IDR_SHOP_POPUP)), {{L"%TARGET-URL-HERE%", kLink}}));
    EXPECT_EQ(html.rfind(L"<div id=\"popupdiv\"", 0), 0u);
    EXPECT_EQ(Count(html, L"href=\"" + EscapeHtml(kLink) + L"\""), 2u) << "both links, '&' written as '&amp;'";
    EXPECT_EQ(Count(html, L"%TARGET-URL-HERE%"), 0u);

    ASSERT_EQ(page.scripts.size(), 1u);
    EXPECT_EQ(page.scripts[0], L"JavaScript|" + kLibrary + L"Popup.show('popupdiv')");
}

TEST_F(PopupInjectorTest, VoucherPopupRunsItsPreScriptAloneFirstAndEscapesTheCode)
{
    ASSERT_TRUE(InjectPopup(VoucherRequest()));

    const std::vector<std::wstring> order{L"get_parentWindow",   L"execScript",       L"get_body",  L"get_innerHTML",
                                          L"insertAdjacentHTML", L"get_parentWindow", L"execScript"};
    EXPECT_EQ(page.calls, order);
    ASSERT_EQ(page.scripts.size(), 2u);
    EXPECT_EQ(page.scripts[0], L"JavaScript|Popup.hide('popupdiv');");
    EXPECT_EQ(page.scripts[1], L"JavaScript|" + kLibrary + L"Popup.showModal('popupvdiv');");

    ASSERT_EQ(page.inserted.size(), 1u);
    const std::wstring& html = page.inserted[0];
    EXPECT_EQ(Count(html, L"&quot;SAVE&lt;10&gt;&quot; &amp; &#39;more&#39;"), 1u);
    EXPECT_EQ(Count(html, kCode), 0u);
    EXPECT_EQ(Count(html, L"href=\"" + EscapeHtml(kLink) + L"\""), 2u);
    EXPECT_EQ(Count(html, L"%TARGET-URL-HERE%") + Count(html, L"%VOUCHER-CODE-HERE%"), 0u);
}

TEST_F(PopupInjectorTest, WithoutAWindowThePopupIsInsertedButNoScriptRuns)
{
    struct Case
    {
        const char* name;
        HRESULT windowResult;
        bool hasWindow;
    };
    for (const Case& test : {Case{"get_parentWindow fails", E_FAIL, true}, Case{"no window", S_OK, false}})
    {
        SCOPED_TRACE(test.name);
        page.inserted.clear();
        page.windowResult = test.windowResult;
        page.hasWindow = test.hasWindow;
        EXPECT_FALSE(InjectPopup(VoucherRequest()));
        EXPECT_EQ(page.inserted.size(), 1u);
        EXPECT_TRUE(page.scripts.empty()) << "neither the pre-script nor the library";
    }
}

TEST_F(PopupInjectorTest, MissingTemplateInsertsNothingOfItsOwnButStillRunsTheScript)
{
    ASSERT_TRUE(InjectPopup(Request(999, {{L"%TARGET-URL-HERE%", kLink}}, L"Popup.show('popupdiv')")));
    EXPECT_EQ(page.inserted, std::vector<std::wstring>{L"afterBegin|"});
    EXPECT_EQ(page.scripts.size(), 1u);
}

TEST_F(PopupInjectorTest, NoDocumentIsNoPopup)
{
    EXPECT_FALSE(InjectPopup(PopupRequest{}));
}
} // namespace
