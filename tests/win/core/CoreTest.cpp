// The error family from its raise sites to the two reports, string-table texts, scoped handles, a thread's code page.
#include <functional>
#include <gtest/gtest.h>
#include <thread>

#include "core/ComHelper.h"
#include "core/Text.h"
#include "module/ClassFactory.h"
#include "settings/Registry.h"
#include "toolbar/OffersVouchers.h"

namespace
{
// Offers IUnknown alone, refusing others with `queryFailure`; cannot be built while `unbuildable` is set.
bool unbuildable = false;
struct FakeObject : IUnknown
{
    FakeObject()
    {
        if (unbuildable)
            throw AtLocation(wexception<std::runtime_error>(L"no accelerators"), {L"SearchBar", 26});
    }
    HRESULT queryFailure = E_NOINTERFACE;
    ULONG refCount = 1;
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        *ppv = riid == IID_IUnknown ? this : nullptr;
        return *ppv ? (AddRef(), S_OK) : queryFailure;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refCount; }
    STDMETHODIMP_(ULONG) Release() override { return --refCount; }
    virtual ~FakeObject() = default;
};

// The code of the windows_error that `raise` throws: 0 for another member of the family, -1 for nothing thrown.
long RaisedBy(const std::function<void()>& raise)
{
    try
    {
        raise();
    }
    catch (const wexception<std::runtime_error>& error)
    {
        const auto* windows = dynamic_cast<const windows_error*>(&error);
        return windows ? static_cast<long>(windows->code) : 0;
    }
    return -1;
}

TEST(Errors, AreThrownWithTheirCodeWhereAFailureIsNotAnAnswer)
{
    FakeObject object;
    ComPtr<IPersist> target;
    const auto badRoot = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x1234));
    auto tryQuery = [&] { TryQueryInterface(static_cast<IUnknown*>(&object), target); };
    EXPECT_EQ(RaisedBy([] { ComPtr<IUnknown>()->AddRef(); }), 0);
    EXPECT_EQ(RaisedBy(tryQuery), -1) << "absence is no error";
    object.queryFailure = E_OUTOFMEMORY;
    EXPECT_EQ(RaisedBy(tryQuery), E_OUTOFMEMORY);
    EXPECT_EQ(RaisedBy([&] { DeleteKeyTree(badRoot, L"x"); }), ERROR_INVALID_HANDLE);
    EXPECT_EQ(FormatSystemMessage(0x0002A000), L"Error code: 0x2a000");
    EXPECT_TRUE(!target && object.refCount == 1) << "failed queries leave the target alone and hold nothing";
}

using LogEntry = std::pair<DWORD, std::array<std::wstring, 3>>;
std::vector<LogEntry> logged;

TEST(Reports, LogTheMessageUnitAndLineOnAWorkerAndAtAClassObject)
{
    const EventLogWriter previous = SetEventLogWriterForTesting([](DWORD id, const std::array<std::wstring, 3>& texts)
                                                                { logged.emplace_back(id, texts); });
    LogError(kWorkerThreadEventId, AtLocation(windows_error(ERROR_ACCESS_DENIED), kRegistryOpenFailed));
    ClassFactory<FakeObject> factory;
    void* object = nullptr;
    unbuildable = true;
    EXPECT_EQ(factory.CreateInstance(nullptr, IID_IUnknown, &object), E_FAIL);
    SetEventLogWriterForTesting(previous);
    EXPECT_EQ(logged,
              (std::vector<LogEntry>{{0xC0000001, {FormatSystemMessage(ERROR_ACCESS_DENIED), L"Registry", L"27"}},
                                     {0xC0000002, {L"no accelerators", L"SearchBar", L"26"}}}));
    EXPECT_EQ(LoadResourceString(60001).size(), 499u);
    EXPECT_EQ(LoadResourceString(60001).substr(490) + LoadResourceString(60999), L"012345678") << "cut, or empty";
}

std::vector<int> released;
void RecordRelease(int value) noexcept
{
    released.push_back(value);
    SetLastError(ERROR_INVALID_HANDLE); // as a real release may
}

TEST(ScopedHandle, ReleasesOnceThroughMovesAndResetsAndKeepsTheLastError)
{
    {
        GenericScopedHandle<int, &RecordRelease> a(7), b(std::move(a)), c;
        c = std::move(b);
        auto& alias = c;
        c = std::move(alias);
        c.Reset(7);
        EXPECT_TRUE(released.empty());
        SetLastError(ERROR_ACCESS_DENIED);
        c.Reset(3);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    }
    EXPECT_EQ(released, (std::vector<int>{7, 3}));
    EXPECT_FALSE(KernelHandle(INVALID_HANDLE_VALUE) || KernelHandle(nullptr));
}

// A thread whose locale (0x0439, Hindi) has no ANSI code page converts in UTF-8.
TEST(PerThread, CodePagesAreEachThreadsOwn)
{
    std::string narrow;
    std::thread([&] { SetThreadLocale(0x0439), narrow = WideToNarrow(L"\u20ac"); }).join();
    EXPECT_EQ(narrow, "\xe2\x82\xac");
}
// A menu holds the items whose ids fit their range, none past the 16 bits of a command.
TEST(Menus, KeepEveryIdInItsRange)
{
    OfferList offers;
    offers.titles.assign(6000, L"x");
    VoucherList vouchers;
    vouchers.titles.assign(10000, L"x");
    for (const auto& [menu, last, count] :
         {std::tuple(BuildOfferMenu(offers), 65535u, 5535), {BuildVoucherMenu(vouchers), 59999u, 9999}})
    {
        const HMENU items = GetSubMenu(menu.Get(), 0);
        EXPECT_EQ(GetMenuItemCount(items), count);
        EXPECT_EQ(GetMenuItemID(items, count - 1), last);
    }
}
} // namespace
