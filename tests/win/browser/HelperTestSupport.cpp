#include "HelperTestSupport.h"

#include <gtest/gtest.h>

#include "module/Guids.h"
#include "toolbar/ShopListFile.h"

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv);

namespace helper_test
{
namespace
{
std::mutex reportLock;
std::vector<std::array<std::wstring, 3>> reports;

void RecordReport(DWORD, const std::array<std::wstring, 3>& strings)
{
    const std::lock_guard guard(reportLock);
    reports.push_back(strings);
}
} // namespace

::ComPtr<IObjectWithSite> NewHelper()
{
    ::ComPtr<IClassFactory> factory;
    EXPECT_EQ(DllGetClassObject(kHelperClsid, IID_IClassFactory, factory.ReceiveVoid()), S_OK);
    ::ComPtr<IObjectWithSite> helper;
    if (factory)
    {
        EXPECT_EQ(factory->CreateInstance(nullptr, IID_IObjectWithSite, helper.ReceiveVoid()), S_OK);
    }
    return helper;
}

const ShopList& TestShops()
{
    static const std::unique_ptr<ShopList> list = []
    {
        auto shops = std::make_unique<ShopList>();
        ParseShopList(*shops, std::wstring(L"http://www.shop-one.com|101<br>http://www.second-shop.co.uk/|SHOP-2<br>"),
                      SystemHostOfAddress);
        return shops;
    }();
    return *list;
}

CapturedReports::CapturedReports() : previous(SetEventLogWriterForTesting(&RecordReport))
{
    const std::lock_guard guard(reportLock);
    reports.clear();
}

CapturedReports::~CapturedReports()
{
    SetEventLogWriterForTesting(previous);
}

std::vector<std::array<std::wstring, 3>> CapturedReports::Entries() const
{
    const std::lock_guard guard(reportLock);
    return reports;
}

TabThread::TabThread() : thread([this] { Loop(); })
{
    id = started.get_future().get();
}

TabThread::~TabThread()
{
    {
        const std::lock_guard guard(lock);
        stopping = true;
    }
    changed.notify_all();
    thread.join();
}

std::future<void> TabThread::Post(std::function<void()> work)
{
    auto task = std::make_shared<std::packaged_task<void()>>(std::move(work));
    std::future<void> done = task->get_future();
    {
        const std::lock_guard guard(lock);
        queue.push_back([task] { (*task)(); });
    }
    changed.notify_all();
    return done;
}

void TabThread::Loop()
{
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    started.set_value(GetCurrentThreadId());
    for (;;)
    {
        std::function<void()> work;
        {
            std::unique_lock guard(lock);
            changed.wait(guard, [this] { return stopping || !queue.empty(); });
            if (queue.empty())
                break;
            work = std::move(queue.front());
            queue.erase(queue.begin());
        }
        work();
    }
    CoUninitialize();
}

HWND CreatePlainWindow()
{
    return CreateWindowExW(0, L"STATIC", L"frame", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
}
} // namespace helper_test
