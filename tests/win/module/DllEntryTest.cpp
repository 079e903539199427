// The built DLL itself, loaded the way a COM client loads it: entry points, resources, version block.
#include <windows.h>

#include <gtest/gtest.h>
#include <string>

#include "core/ComHelper.h"
#include "module/Guids.h"

namespace
{
using GetClassObjectFn = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
using CanUnloadNowFn = HRESULT(STDAPICALLTYPE*)();

std::wstring DllPath()
{
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path);
    folder.resize(folder.find_last_of(L'\\') + 1);
    return folder + L"Quillbury.dll";
}

class DllEntryTest : public testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        library = LoadLibraryW(DllPath().c_str());
        ASSERT_NE(library, nullptr) << "Quillbury.dll beside the test program";
    }
    static void TearDownTestSuite()
    {
        if (library)
            FreeLibrary(library);
        library = nullptr;
    }
    template <class Fn> static Fn Export(const char* name)
    {
        return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(library, name)));
    }
    static HMODULE library;
};
HMODULE DllEntryTest::library = nullptr;

constexpr GUID kUnknownClsid = {0x01234567, 0x89ab, 0xcdef, {1, 2, 3, 4, 5, 6, 7, 8}};

TEST_F(DllEntryTest, ClassObjectRequestsAnswerWithTheRightCodes)
{
    const auto getClassObject = Export<GetClassObjectFn>("DllGetClassObject");
    const auto canUnloadNow = Export<CanUnloadNowFn>("DllCanUnloadNow");
    ASSERT_NE(getClassObject, nullptr);
    ASSERT_NE(canUnloadNow, nullptr);
    EXPECT_EQ(getClassObject(kBandClsid, IID_IClassFactory, nullptr), E_INVALIDARG);
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(getClassObject(kUnknownClsid, IID_IClassFactory, &object), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(object, nullptr);
    for (const GUID* clsid : {&kBandClsid, &kHelperClsid})
    {
        object = reinterpret_cast<void*>(1);
        EXPECT_EQ(getClassObject(*clsid, IID_IDispatch, &object), E_NOINTERFACE);
        EXPECT_EQ(object, nullptr);
        EXPECT_EQ(canUnloadNow(), S_OK) << "the refused class object is gone";
        ASSERT_EQ(getClassObject(*clsid, IID_IClassFactory, &object), S_OK);
        EXPECT_EQ(canUnloadNow(), S_FALSE) << "a class object holds the library";
        static_cast<IClassFactory*>(object)->Release();
        EXPECT_EQ(canUnloadNow(), S_OK);
    }
}

TEST_F(DllEntryTest, CarriesItsStringsManifestAndVersion)
{
    wchar_t text[600];
    ASSERT_GT(LoadStringW(library, 111, text, 600), 0);
    EXPECT_STREQ(text, L"An error occurred in \"Quillbury Toolbar\" : ");
    ASSERT_GT(LoadStringW(library, 110, text, 600), 0);
    EXPECT_STREQ(text, L"No parent window was specified for the toolbar");
    EXPECT_NE(FindResourceW(library, MAKEINTRESOURCEW(2), MAKEINTRESOURCEW(24) /* RT_MANIFEST */), nullptr);

    const std::wstring path = DllPath();
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    ASSERT_GT(size, 0u);
    std::string block(size, '\0');
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, block.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010001u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0x00000005u);
    wchar_t* product = nullptr;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\StringFileInfo\\080904b0\\ProductName",
                               reinterpret_cast<void**>(&product), &length));
    EXPECT_STREQ(product, L"Quillbury Toolbar");
}
} // namespace
