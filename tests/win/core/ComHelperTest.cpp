// Checked COM calls against a fake object whose error-information behaviour the tests choose.
#include "core/ComHelper.h"

#include <gtest/gtest.h>

namespace
{
enum class ErrorSupport
{
    None,            // no ISupportErrorInfo at all
    Supported,       // InterfaceSupportsErrorInfo answers S_OK
    NotForInterface, // answers S_FALSE
};

class FakeObject : public ISupportErrorInfo
{
public:
    ErrorSupport support = ErrorSupport::None;
    HRESULT queryFailure = E_NOINTERFACE; // what QueryInterface answers for unknown interfaces
    ULONG refCount = 1;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        *ppv = nullptr;
        if (riid == IID_IUnknown || (riid == IID_ISupportErrorInfo && support != ErrorSupport::None))
        {
            *ppv = static_cast<ISupportErrorInfo*>(this);
            AddRef();
            return S_OK;
        }
        return queryFailure;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refCount; }
    STDMETHODIMP_(ULONG) Release() override { return --refCount; }
    STDMETHODIMP InterfaceSupportsErrorInfo(REFIID) override
    {
        return support == ErrorSupport::Supported ? S_OK : S_FALSE;
    }
    virtual ~FakeObject() = default;
};

void SetThreadErrorDescription(const wchar_t* description)
{
    ComPtr<ICreateErrorInfo> create;
    ASSERT_EQ(CreateErrorInfo(create.Receive()), S_OK);
    create->SetDescription(const_cast<LPOLESTR>(description));
    ComPtr<IErrorInfo> info;
    QueryInterfaceOrThrow(create, info);
    SetErrorInfo(0, info.Get());
}

TEST(ComError, TakesTheObjectsDescriptionOnlyWhenOfferedForTheInterface)
{
    const std::wstring systemText = FormatSystemMessage(static_cast<unsigned long>(E_ACCESSDENIED));
    struct Case
    {
        ErrorSupport support;
        bool setDescription;
        std::wstring expected;
    };
    const Case cases[] = {
        {ErrorSupport::None, true, systemText},
        {ErrorSupport::NotForInterface, true, systemText},
        {ErrorSupport::Supported, false, systemText},
        {ErrorSupport::Supported, true, L"The widget is broken"},
    };
    for (const auto& test : cases)
    {
        SCOPED_TRACE(static_cast<int>(test.support) * 10 + test.setDescription);
        SetErrorInfo(0, nullptr);
        FakeObject object;
        object.support = test.support;
        if (test.setDescription)
            SetThreadErrorDescription(L"The widget is broken\0ignored after the terminator");
        const com_error error = MakeComError(E_ACCESSDENIED, static_cast<IUnknown*>(&object));
        EXPECT_EQ(error.message, test.expected);
        EXPECT_EQ(error.code, static_cast<unsigned long>(E_ACCESSDENIED));
        EXPECT_EQ(object.refCount, 1u) << "no reference may leak";
    }
    SetErrorInfo(0, nullptr);
}

TEST(QueryInterfaceOrThrow, ThrowsAtItsLocationAndLeavesTargetOnFailure)
{
    FakeObject object;
    ComPtr<ISupportErrorInfo> target;
    try
    {
        QueryInterfaceOrThrow(static_cast<IUnknown*>(&object), target);
        FAIL() << "expected com_error";
    }
    catch (const com_error& error)
    {
        EXPECT_EQ(error.code, static_cast<unsigned long>(E_NOINTERFACE));
        EXPECT_EQ(error.file, L"ComHelper");
        EXPECT_EQ(error.line, 108);
    }
    EXPECT_FALSE(target);

    object.support = ErrorSupport::Supported;
    QueryInterfaceOrThrow(static_cast<IUnknown*>(&object), target);
    EXPECT_TRUE(target);
    EXPECT_EQ(object.refCount, 2u);
    QueryInterfaceOrThrow(static_cast<IUnknown*>(nullptr), target);
    EXPECT_FALSE(target) << "a null source empties the target";
    EXPECT_EQ(object.refCount, 1u);
}

TEST(TryQueryInterface, AbsenceIsFalseOtherFailuresThrow)
{
    FakeObject object;
    ComPtr<ISupportErrorInfo> target;
    EXPECT_FALSE(TryQueryInterface(static_cast<IUnknown*>(nullptr), target));
    EXPECT_FALSE(TryQueryInterface(static_cast<IUnknown*>(&object), target));

    object.queryFailure = E_OUTOFMEMORY;
    try
    {
        TryQueryInterface(static_cast<IUnknown*>(&object), target);
        FAIL() << "expected com_error";
    }
    catch (const com_error& error)
    {
        EXPECT_EQ(error.code, static_cast<unsigned long>(E_OUTOFMEMORY));
        EXPECT_EQ(error.line, 145);
    }

    object.support = ErrorSupport::Supported;
    EXPECT_TRUE(TryQueryInterface(static_cast<IUnknown*>(&object), target));
    target.Reset();
    EXPECT_EQ(object.refCount, 1u);
}
} // namespace
