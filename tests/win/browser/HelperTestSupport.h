// What the helper object tests share: the object made through the library's class object, a tab thread
// that plays a second browser tab, the reports captured from the event log, and the shop list.
#pragma once

#include <windows.h>

#include <objbase.h>

#include <array>
#include <condition_variable>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "browser/SearchBrowserHelper.h"
#include "core/ComHelper.h"
#include "core/ErrorReport.h"
#include "toolbar/ShopList.h"

namespace helper_test
{
// A new helper object from DllGetClassObject's class object; empty (and a test failure) when that fails.
::ComPtr<IObjectWithSite> NewHelper();

// The object behind the interface (the test program links the add-on's code).
inline SearchBrowserHelper& Helper(const ::ComPtr<IObjectWithSite>& object)
{
    return *static_cast<SearchBrowserHelper*>(object.Get());
}

// "http://www.shop-one.com" (id "101") and "http://www.second-shop.co.uk/" (id "SHOP-2"), loaded.
const ShopList& TestShops();

// The entries the add-on wrote to the event log since the last Clear.
class CapturedReports
{
public:
    CapturedReports();
    ~CapturedReports();
    CapturedReports(const CapturedReports&) = delete;
    CapturedReports& operator=(const CapturedReports&) = delete;

    // Message, unit and line of each entry, in order.
    std::vector<std::array<std::wstring, 3>> Entries() const;

private:
    EventLogWriter previous;
};

// A browser tab's user-interface thread: a single-threaded apartment running the work given to it in
// order. Work that throws rethrows in the waiting caller.
class TabThread
{
public:
    TabThread();
    ~TabThread();
    TabThread(const TabThread&) = delete;
    TabThread& operator=(const TabThread&) = delete;

    std::future<void> Post(std::function<void()> work);
    void Run(std::function<void()> work) { Post(std::move(work)).get(); }
    [[nodiscard]] DWORD Id() const noexcept { return id; }

private:
    void Loop();

    std::mutex lock;
    std::condition_variable changed;
    std::vector<std::function<void()>> queue;
    bool stopping = false;
    DWORD id = 0;
    std::promise<DWORD> started;
    std::thread thread;
};

// A plain top-level window owned by the calling thread (a frame window of a browser).
HWND CreatePlainWindow();
} // namespace helper_test
