// Class objects and the module count, proven with test classes that follow the add-on's object rules
// (reference count 1 after construction, module units taken in the constructor).
#include "module/ClassFactory.h"

#include <gtest/gtest.h>
#include <vector>

#include "core/ComHelper.h"
#include "core/ErrorReport.h"

namespace
{
int liveObjects = 0;
int constructions = 0;
enum class Failure
{
    None,
    FamilyError,
    OutOfMemory,
};
Failure nextFailure = Failure::None;

class TestObject : public IPersist
{
public:
    TestObject()
    {
        ++constructions;
        if (nextFailure == Failure::FamilyError)
            throw AtLocation(wexception<std::runtime_error>(L"no accelerators"), {L"SearchBar", 26});
        if (nextFailure == Failure::OutOfMemory)
            throw std::bad_alloc();
        ++liveObjects;
    }
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        *ppv = nullptr;
        if (riid != IID_IUnknown && riid != IID_IPersist)
            return E_NOINTERFACE;
        *ppv = static_cast<IPersist*>(this);
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refCount; }
    STDMETHODIMP_(ULONG) Release() override
    {
        const ULONG count = --refCount;
        if (count == 0)
            delete this;
        return count;
    }
    STDMETHODIMP GetClassID(CLSID*) override { return E_NOTIMPL; }

private:
    virtual ~TestObject() { --liveObjects; }
    ULONG refCount = 1;
    ModuleReference unit;
};

std::vector<DWORD> loggedIds;
void RecordEvent(DWORD eventId, const std::array<std::wstring, 3>&)
{
    loggedIds.push_back(eventId);
}

class ClassFactoryTest : public testing::Test
{
protected:
    void SetUp() override
    {
        nextFailure = Failure::None;
        constructions = 0;
        loggedIds.clear();
        previousWriter = SetEventLogWriterForTesting(&RecordEvent);
        startCount = ModuleCount();
    }
    void TearDown() override
    {
        SetEventLogWriterForTesting(previousWriter);
        EXPECT_EQ(ModuleCount(), startCount) << "every unit given back";
        EXPECT_EQ(liveObjects, 0);
    }
    ComPtr<IClassFactory> Factory()
    {
        ComPtr<IClassFactory> factory;
        EXPECT_EQ(GetClassObjectOf<TestObject>(IID_IClassFactory, factory.ReceiveVoid()), S_OK);
        return factory;
    }

    EventLogWriter previousWriter = nullptr;
    long startCount = 0;
};

TEST_F(ClassFactoryTest, UnsupportedInterfaceOfTheClassObjectRestoresTheCount)
{
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(GetClassObjectOf<TestObject>(IID_IDispatch, &object), E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);
}

TEST_F(ClassFactoryTest, ArgumentsAndAggregation)
{
    auto factory = Factory();
    EXPECT_EQ(factory->QueryInterface(IID_IUnknown, nullptr), E_INVALIDARG);
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IPersist, nullptr), E_INVALIDARG);
    void* object = reinterpret_cast<void*>(1);
    TestObject* outerStandIn = nullptr;
    EXPECT_EQ(factory->CreateInstance(reinterpret_cast<IUnknown*>(&outerStandIn), IID_IUnknown, &object),
              CLASS_E_NOAGGREGATION);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(constructions, 0) << "aggregation is refused before anything is built";
}

TEST_F(ClassFactoryTest, InstancesHoldTheModuleUntilReleased)
{
    auto factory = Factory();
    ComPtr<IPersist> object;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IPersist, object.ReceiveVoid()), S_OK);
    EXPECT_EQ(liveObjects, 1);
    EXPECT_EQ(ModuleCount(), startCount + 2);
    factory.Reset();
    EXPECT_EQ(ModuleCount(), startCount + 1);
    object.Reset();
    EXPECT_EQ(ModuleCount(), startCount);

    void* missing = reinterpret_cast<void*>(1);
    factory = Factory();
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IDispatch, &missing), E_NOINTERFACE);
    EXPECT_EQ(missing, nullptr);
    EXPECT_EQ(liveObjects, 0) << "the unwanted object is destroyed at once";
}

TEST_F(ClassFactoryTest, ConstructionFailuresBecomeCodesAndOneLogEntry)
{
    auto factory = Factory();
    void* object = nullptr;
    nextFailure = Failure::FamilyError;
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, &object), E_FAIL);
    EXPECT_EQ(loggedIds, std::vector<DWORD>{0xC0000002});
    nextFailure = Failure::OutOfMemory;
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, &object), E_OUTOFMEMORY);
    EXPECT_EQ(loggedIds.size(), 1u) << "allocation failures are not logged";
    EXPECT_EQ(object, nullptr);
}

TEST_F(ClassFactoryTest, LockServerPairsLeaveTheCountUnchanged)
{
    auto factory = Factory();
    const long withFactory = ModuleCount();
    EXPECT_EQ(factory->LockServer(TRUE), S_OK);
    EXPECT_EQ(factory->LockServer(TRUE), S_OK);
    EXPECT_EQ(ModuleCount(), withFactory + 2);
    factory->LockServer(FALSE);
    factory->LockServer(FALSE);
    EXPECT_EQ(ModuleCount(), withFactory);
}
} // namespace
