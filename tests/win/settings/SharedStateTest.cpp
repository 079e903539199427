// The shared block: layout, bounded texts, the private security of the mapping, the substitute when the
// mapping cannot be made, and real sharing between two processes.
#include "settings/SharedState.h"

#include <aclapi.h>

#include <cstring>
#include <gtest/gtest.h>
#include <string>

#include "core/ScopedHandle.h"
#include "module/ProcessObjects.h"
#include "support/ChildProcess.h"

namespace
{
bool IsAllZero(const SharedBlock& block)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(&block);
    for (size_t i = 0; i < sizeof(block); ++i)
        if (bytes[i] != 0)
            return false;
    return true;
}

TEST(SharedState, ANewBlockIsZeroedAndShared)
{
    SharedState fresh("Quillbury_Test_Fresh");
    EXPECT_TRUE(fresh.IsShared());
    EXPECT_TRUE(IsAllZero(fresh.Block()));
    EXPECT_TRUE(Process().sharedState.IsShared()) << "the process-wide block opened at load";
}

TEST(SharedState, TextsAreCutToTheirFieldAndAlwaysTerminated)
{
    SharedState state("Quillbury_Test_Texts");
    SharedBlock& block = state.Block();
    const std::wstring exact(24, L'a');
    StoreSharedText(block.approvedText, exact);
    EXPECT_EQ(LoadSharedText(block.approvedText), exact);
    StoreSharedText(block.pendingText, std::wstring(40, L'p'));
    EXPECT_EQ(LoadSharedText(block.pendingText), std::wstring(24, L'p'));
    EXPECT_EQ(block.pendingText[24], L'\0');
    EXPECT_EQ(block.noticeText[0], L'\0') << "the neighbouring field is untouched";

    StoreSharedText(block.noticeText, std::wstring(254, L'n'));
    EXPECT_EQ(LoadSharedText(block.noticeText).size(), 254u);
    StoreSharedText(block.noticeText, std::wstring(1000, L'N'));
    EXPECT_EQ(LoadSharedText(block.noticeText), std::wstring(254, L'N'));
    EXPECT_EQ(block.reserved, L'\0');

    StoreSharedText(block.noticeText, L"short");
    EXPECT_EQ(LoadSharedText(block.noticeText), L"short") << "a shorter text clears the rest";
}

TEST(SharedState, ReadsStopAtTheEndOfAnUnterminatedField)
{
    SharedState state("Quillbury_Test_Unterminated");
    SharedBlock& block = state.Block();
    for (auto& c : block.approvedText)
        c = L'x';
    block.pendingText[0] = L'y'; // what a reader running past the end would pick up
    EXPECT_EQ(LoadSharedText(block.approvedText), std::wstring(25, L'x'));
}

TEST(SharedState, AMappingThatCannotBeMadeLeavesAUsableSubstitute)
{
    // Another kind of object already owns the name, so the mapping cannot be created.
    const KernelHandle squatter(CreateEventA(nullptr, TRUE, FALSE, "Quillbury_Test_Taken"));
    ASSERT_TRUE(squatter);
    SharedState state("Quillbury_Test_Taken");
    EXPECT_FALSE(state.IsShared());
    EXPECT_TRUE(IsAllZero(state.Block()));
    state.Block().mainDone = 1;
    StoreSharedText(state.Block().approvedText, L"\u00a3 1.00");
    EXPECT_EQ(LoadSharedText(state.Block().approvedText), L"\u00a3 1.00");
}

TEST(SharedState, OnlyThisUserMayOpenTheMapping)
{
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_EQ(GetSecurityInfo(Process().sharedState.Mapping(), SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                              nullptr, &dacl, nullptr, &descriptor),
              static_cast<DWORD>(ERROR_SUCCESS));
    const LocalMemory owner(descriptor);
    ASSERT_NE(dacl, nullptr) << "a null DACL would let every user in";
    ASSERT_EQ(dacl->AceCount, 1);
    void* ace = nullptr;
    ASSERT_TRUE(GetAce(dacl, 0, &ace));
    const auto* allowed = static_cast<const ACCESS_ALLOWED_ACE*>(ace);
    EXPECT_EQ(allowed->Header.AceType, ACCESS_ALLOWED_ACE_TYPE);

    KernelHandle token;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.Receive()));
    BYTE buffer[256];
    DWORD size = 0;
    ASSERT_TRUE(GetTokenInformation(token.Get(), TokenUser, buffer, sizeof(buffer), &size));
    const auto* user = reinterpret_cast<const TOKEN_USER*>(buffer);
    EXPECT_TRUE(EqualSid(const_cast<DWORD*>(&allowed->SidStart), user->User.Sid));
}

// Two processes: this program starts itself again to play the second browser process.
TEST(SharedStateChild, ReadsWhatTheFirstProcessLeft)
{
    EXPECT_EQ(Shared().signedIn, 1);
    EXPECT_EQ(Shared().verifyNumber, -7);
    EXPECT_EQ(LoadSharedText(Shared().approvedText), L"\u00a312.50");
    Shared().noticeShown = 1;
    StoreSharedText(Shared().pendingText, L"from the second process");
}

TEST(SharedState, TwoProcessesShareOneBlock)
{
    Shared().signedIn = 1;
    Shared().verifyNumber = -7;
    StoreSharedText(Shared().approvedText, L"\u00a312.50");
    Shared().noticeShown = 0;
    EXPECT_EQ(RunThisProgramAsChild(L"SharedStateChild.*", L"ReadsWhatTheFirstProcessLeft"), 0u);
    EXPECT_EQ(Shared().noticeShown, 1);
    EXPECT_EQ(LoadSharedText(Shared().pendingText), L"from the second process");
}
} // namespace
