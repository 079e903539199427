// The login dialog used the way a person uses it: the test thread opens it as the toolbar does, while a helper
// thread finds the window, reads what it shows, types into the two boxes and presses a button; message boxes
// that follow are answered by a MessageBoxDriver. The credential check runs against the stand-in service.
#include "toolbar/LoginDialog.h"

#include <chrono>
#include <gtest/gtest.h>
#include <optional>
#include <thread>
#include <vector>

#include "core/Text.h"
#include "net/ServiceUrls.h"
#include "resources/resource.h"
#include "settings/AccountStore.h"
#include "settings/Registry.h"
#include "settings/VistaSupport.h"
#include "support/MessageBoxDriver.h"
#include "win/net/StandinClient.h"

namespace
{
constexpr wchar_t kCaption[] = L"Quillbury : Login";
constexpr wchar_t kUnreachable[] = L"The server could not be reached at the moment. Please try again later.";
constexpr wchar_t kIncorrect[] = L"An incorrect email address or password has been used.";

enum class Press
{
    Ok,
    Cancel,
    CloseBox,
    SignUp,
};

struct UserActions
{
    std::optional<std::wstring> email; // typed over what the box holds
    std::optional<std::wstring> password;
    Press press = Press::Ok;
};

// What the helper thread saw of the dialog before pressing.
struct Seen
{
    bool found = false;
    bool closed = false; // the dialog went away after the press
    std::wstring caption;
    std::wstring email;
    std::wstring password;
    std::vector<std::wstring> texts; // of every control, in z-order
};

std::wstring WindowText(HWND window)
{
    wchar_t buffer[512] = {};
    GetWindowTextW(window, buffer, 512);
    return buffer;
}

BOOL CALLBACK CollectText(HWND child, LPARAM parameter)
{
    reinterpret_cast<std::vector<std::wstring>*>(parameter)->push_back(WindowText(child));
    return TRUE;
}

// Plays the user on its own thread; gtest assertions stay on the test thread, so it only records.
class DialogUser
{
public:
    explicit DialogUser(UserActions userActions) : actions(std::move(userActions)), worker([this] { Run(); }) {}
    DialogUser(const DialogUser&) = delete;
    DialogUser& operator=(const DialogUser&) = delete;
    ~DialogUser()
    {
        if (worker.joinable())
            worker.join();
    }

    Seen Finish()
    {
        worker.join();
        return seen;
    }

private:
    void Run()
    {
        using Clock = std::chrono::steady_clock;
        HWND dialog = nullptr;
        for (const auto start = Clock::now(); !dialog && Clock::now() - start < std::chrono::seconds(10);)
        {
            dialog = FindProcessWindow(kCaption);
            if (!dialog)
                Sleep(20);
        }
        if (!dialog)
            return;
        seen.found = true;
        seen.caption = WindowText(dialog);
        seen.email = WindowText(GetDlgItem(dialog, IDC_EMAIL));
        seen.password = WindowText(GetDlgItem(dialog, IDC_PASSWORD));
        EnumChildWindows(dialog, CollectText, reinterpret_cast<LPARAM>(&seen.texts));

        if (actions.email)
            SendMessageW(GetDlgItem(dialog, IDC_EMAIL), WM_SETTEXT, 0,
                         reinterpret_cast<LPARAM>(actions.email->c_str()));
        if (actions.password)
            SendMessageW(GetDlgItem(dialog, IDC_PASSWORD), WM_SETTEXT, 0,
                         reinterpret_cast<LPARAM>(actions.password->c_str()));
        // Posted, so this thread never waits on the OK handling (which talks to the service).
        switch (actions.press)
        {
        case Press::Ok:
            PostMessageW(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
            break;
        case Press::Cancel:
            PostMessageW(GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0);
            break;
        case Press::CloseBox:
            PostMessageW(dialog, WM_CLOSE, 0, 0);
            break;
        case Press::SignUp:
            PostMessageW(GetDlgItem(dialog, IDC_SIGN_UP), BM_CLICK, 0, 0);
            break;
        }
        for (const auto start = Clock::now(); IsWindow(dialog) && Clock::now() - start < std::chrono::seconds(60);)
            Sleep(20);
        seen.closed = !IsWindow(dialog);
        if (!seen.closed)
            PostMessageW(dialog, WM_CLOSE, 0, 0); // do not leave the test thread hanging
    }

    UserActions actions;
    Seen seen;
    std::thread worker;
};

class LoginDialogTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_NE(StandinPort(), 0) << "run through tools/standin/with_standin.py";
        StandinControl(L"reset?log=1");
        Clean();
    }
    void TearDown() override
    {
        Clean();
        EXPECT_TRUE(errorReports.Seen().empty()) << "no error report is expected";
    }

    static void Clean()
    {
        DeleteFileW(DataFilePath(L"config.ini").c_str());
        DeleteKeyTree(HKEY_CURRENT_USER, kSettingsKeyPath);
    }

    // Opens the dialog as the toolbar does and lets the user act; returns the dialog's result.
    int Use(UserActions actions, Seen& seen)
    {
        DialogUser user(std::move(actions));
        const int result = OpenLoginDialog(data, nullptr);
        seen = user.Finish();
        EXPECT_TRUE(seen.found) << "the dialog never appeared";
        EXPECT_TRUE(seen.closed) << "the press did not close the dialog";
        return result;
    }

    static std::pair<std::wstring, std::wstring> Registry()
    {
        std::pair<std::wstring, std::wstring> values;
        ReadRegistryCredentials(values.first, values.second);
        return values;
    }
    static std::pair<std::wstring, std::wstring> Ini()
    {
        std::pair<std::wstring, std::wstring> values;
        ReadIniCredentials(values.first, values.second);
        return values;
    }

    // The statistics addresses as they arrive: WinHTTP escapes the braces of the client identifier.
    static std::wstring Stats(int y, const std::wstring& encodedEmail)
    {
        return ServiceBaseUrl() + L"k3tq8w2m/install_stats.php?y=" + std::to_wstring(y) + L"&t=" + encodedEmail +
               L"&f=%7B6A0C3B55-1D47-4E92-B8F3-2C95D0E1A774%7D&PID=QLBY";
    }

    LoginDialogData data;
    MessageBoxDriver errorReports{L"Quillbury"}; // answers an unexpected ShowError box instead of hanging
};

using Pair = std::pair<std::wstring, std::wstring>;

TEST_F(LoginDialogTest, OkWithThePrefilledValuesSendsTheStoredDigestUnchanged)
{
    const std::wstring digest = PasswordDigest(L"cashback");
    WriteRegistryCredentials(L"demo@example.com", digest);

    Seen seen;
    EXPECT_EQ(Use({}, seen), kLoginAccepted);
    EXPECT_EQ(seen.email, L"demo@example.com");
    EXPECT_EQ(seen.password, digest) << "the password box holds the stored digest";

    const auto checks = StandinRequests(L"cashback_verify.php");
    ASSERT_EQ(checks.size(), 1u);
    EXPECT_NE(checks[0].find(L"&t=demo%40example.com&m=" + digest + L"&d="), std::wstring::npos) << checks[0];
    EXPECT_EQ(StandinRequestCount(L"install_stats.php"), 0) << "the same account is not reported again";
    EXPECT_EQ(data.password, digest);
    EXPECT_EQ(Registry(), Pair(L"demo@example.com", digest));
    EXPECT_EQ(Ini(), Pair(L"demo@example.com", digest));
    EXPECT_FALSE(LoginAlreadyRegistered());
    EXPECT_FALSE(LoginNotRegistered());
}

TEST_F(LoginDialogTest, ATypedPasswordIsSentAsItsDigestAndAFirstSignInReportsOnlyTheNewAccount)
{
    Seen seen;
    EXPECT_EQ(Use({L"test@example.com", L"secret", Press::Ok}, seen), kLoginAccepted);
    EXPECT_EQ(seen.email, L"");
    EXPECT_EQ(seen.password, L"");

    const std::wstring digest = PasswordDigest(L"secret");
    const auto checks = StandinRequests(L"cashback_verify.php");
    ASSERT_EQ(checks.size(), 1u);
    EXPECT_NE(checks[0].find(L"&t=test%40example.com&m=" + digest + L"&d="), std::wstring::npos) << checks[0];
    EXPECT_EQ(StandinRequests(L"install_stats.php"), std::vector<std::wstring>{Stats(1, L"test%40example.com")});
    EXPECT_EQ(data.email, L"test@example.com");
    EXPECT_EQ(data.password, digest);
    EXPECT_EQ(Registry(), Pair(L"test@example.com", digest));
    EXPECT_EQ(Ini(), Pair(L"test@example.com", digest));
}

TEST_F(LoginDialogTest, ChangingTheAccountReportsTheOldOneThenTheNewOne)
{
    WriteRegistryCredentials(L"demo@example.com", PasswordDigest(L"cashback"));

    Seen seen;
    EXPECT_EQ(Use({L"test@example.com", L"secret", Press::Ok}, seen), kLoginAccepted);
    EXPECT_EQ(StandinRequests(L"install_stats.php"),
              (std::vector<std::wstring>{Stats(0, L"demo%40example.com"), Stats(1, L"test%40example.com")}));
    EXPECT_EQ(Registry(), Pair(L"test@example.com", PasswordDigest(L"secret")));
}

TEST_F(LoginDialogTest, AnAcceptedCheckIsStoredEvenWhenTheStatisticsFail)
{
    StandinControl(L"scenario?set=drop&path=install_stats");
    Seen seen;
    EXPECT_EQ(Use({L"test@example.com", L"secret", Press::Ok}, seen), kLoginAccepted);
    EXPECT_EQ(Registry(), Pair(L"test@example.com", PasswordDigest(L"secret")));
    EXPECT_EQ(Ini(), Pair(L"test@example.com", PasswordDigest(L"secret")));
}

TEST_F(LoginDialogTest, AnswersZeroAndTwoCloseTheDialogWithTheirFlagAndNoMessage)
{
    struct Case
    {
        const wchar_t* reply;
        bool alreadyRegistered;
        bool notRegistered;
    };
    const Case cases[] = {{L"0", true, false}, {L"2", false, true}};
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.reply);
        StandinControl(std::wstring(L"scenario?set=reject&reply=") + c.reply);
        MessageBoxDriver boxes(L"Error");
        Seen seen;
        EXPECT_EQ(Use({L"demo@example.com", L"wrong", Press::Ok}, seen), kLoginCheckFailed);
        EXPECT_EQ(LoginAlreadyRegistered(), c.alreadyRegistered);
        EXPECT_EQ(LoginNotRegistered(), c.notRegistered);
        EXPECT_TRUE(boxes.Seen().empty());
        EXPECT_EQ(Registry(), Pair()) << "nothing is stored";
        EXPECT_EQ(StandinRequestCount(L"install_stats.php"), 0);
        StandinControl(L"scenario?clear=all");
    }

    // The flags last until the dialog opens again.
    Seen seen;
    EXPECT_EQ(Use({std::nullopt, std::nullopt, Press::Cancel}, seen), kLoginCancelled);
    EXPECT_FALSE(LoginAlreadyRegistered());
    EXPECT_FALSE(LoginNotRegistered());
}

TEST_F(LoginDialogTest, AnEmptyAnswerOrNoAnswerIsToldInAMessageBox)
{
    struct Case
    {
        const wchar_t* scenario;
        const wchar_t* message;
    };
    const Case cases[] = {
        {L"scenario?set=reject&reply=", kIncorrect},
        {L"scenario?set=drop&path=cashback_verify", kUnreachable},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.scenario);
        StandinControl(c.scenario);
        MessageBoxDriver boxes(L"Error");
        Seen seen;
        EXPECT_EQ(Use({L"demo@example.com", L"cashback", Press::Ok}, seen), kLoginCheckFailed);
        EXPECT_EQ(boxes.Seen(), std::vector<std::wstring>{c.message});
        EXPECT_FALSE(LoginAlreadyRegistered());
        EXPECT_FALSE(LoginNotRegistered());
        EXPECT_EQ(Registry(), Pair());
        EXPECT_EQ(Ini(), Pair());
        StandinControl(L"scenario?clear=all");
    }
}

TEST_F(LoginDialogTest, CancelAndTheCloseBoxStoreNothingAndAskNothing)
{
    for (const Press press : {Press::Cancel, Press::CloseBox})
    {
        SCOPED_TRACE(static_cast<int>(press));
        Seen seen;
        EXPECT_EQ(Use({L"test@example.com", L"secret", press}, seen), kLoginCancelled);
        EXPECT_EQ(Registry(), Pair());
        EXPECT_EQ(Ini(), Pair());
    }
    EXPECT_EQ(StandinRequestCount(L"k3tq8w2m/"), 0);
}

TEST_F(LoginDialogTest, SignUpEndsTheDialogWithThree)
{
    Seen seen;
    EXPECT_EQ(Use({std::nullopt, std::nullopt, Press::SignUp}, seen), kLoginSignUp);
    EXPECT_EQ(StandinRequestCount(L"k3tq8w2m/"), 0);
}

TEST_F(LoginDialogTest, TheOpenDialogShowsItsCaptionAndTexts)
{
    Seen seen;
    EXPECT_EQ(Use({std::nullopt, std::nullopt, Press::Cancel}, seen), kLoginCancelled);
    EXPECT_EQ(seen.caption, kCaption);
    const std::vector<std::wstring> expected = {
        L"Sign Up",
        L"At Quillbury you can save \u00a3\u00a3\u00a3 by starting your online shopping journey with us.",
        L"Membership is free and the sign up process will only take a few minutes.",
        L"Sign Up",
        L"Already Registered?",
        L"Provide your login information below:",
        L"Email:",
        L"",
        L"e.g. jane@example.com",
        L"Password:",
        L"",
        L"OK",
        L"Cancel",
    };
    EXPECT_EQ(seen.texts, expected);
}
} // namespace
