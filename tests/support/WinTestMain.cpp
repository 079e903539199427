// Entry point of the Wine test programs: the program plays the part of the DLL's module (its own resources
// and process-wide objects), and the main thread is a single-threaded apartment like a browser tab's.
#include <windows.h>

#include <objbase.h>

#include <cstdlib>
#include <gtest/gtest.h>

#include "module/Module.h"
#include "module/ProcessObjects.h"
#include "support/TestSupport.h"

// A pure virtual function called (an object used while it is destroyed) ends the program, which fails its test.
// Otherwise the call goes to address 0, and Wine's message dispatch may swallow the fault.
extern "C" void __cxa_pure_virtual()
{
    std::abort();
}

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    // Suites named "...Child" play a second process (support/TestSupport.h); the first process leaves them out.
    if (ChildRole().empty())
    {
        const std::string filter = GTEST_FLAG_GET(filter);
        GTEST_FLAG_SET(filter, filter + (filter.find('-') == std::string::npos ? "-" : ":") + "*Child.*");
    }
    SetModuleInstance(GetModuleHandleW(nullptr));
    if (!InitializeProcessObjects())
        return 2;
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const int result = RUN_ALL_TESTS();
    CoUninitialize();
    DestroyProcessObjects();
    return result;
}
