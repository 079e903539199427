// The login dialog's procedure and the credential check behind its OK button.
#include "toolbar/LoginDialog.h"

#include <atomic>

#include "core/ActivationContext.h"
#include "core/ErrorReport.h"
#include "core/Text.h"
#include "module/Module.h"
#include "module/ProcessObjects.h"
#include "net/ServiceRequests.h"
#include "net/ServiceUrls.h"
#include "net/WinHttpClient.h"
#include "resources/resource.h"
#include "settings/AccountLock.h"
#include "settings/AccountStore.h"
#include "workers/Replies.h"

namespace
{
constexpr wchar_t kUserAgent[] = L"Mozilla/4.0";
constexpr int kMaxFieldLength = 511;

std::atomic<int> alreadyRegistered{0};
std::atomic<int> notRegistered{0};

void ShowCheckError(const wchar_t* text)
{
    // No owner: the box stands on its own, as every expected-condition message of the add-on does.
    MessageBoxW(nullptr, text, L"Error", MB_OK | MB_ICONERROR);
}

std::wstring ControlText(HWND dialog, int id)
{
    wchar_t buffer[kMaxFieldLength + 1] = {};
    const UINT length = GetDlgItemTextW(dialog, id, buffer, kMaxFieldLength + 1);
    return std::wstring(buffer, length);
}

// The answer is read and ignored; a failed report does not stop the sign-in.
void SendInstallStatistics(const std::wstring& address)
{
    WinHttpClient client(address);
    client.SetUserAgent(kUserAgent);
    if (client.Send(L"GET"))
        static_cast<void>(client.ResponseText());
}

LoginDialogData* DialogData(HWND dialog)
{
    return reinterpret_cast<LoginDialogData*>(GetWindowLongPtrW(dialog, GWLP_USERDATA));
}

INT_PTR HandleMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message)
    {
    case WM_INITDIALOG:
    {
        SetWindowLongPtrW(dialog, GWLP_USERDATA, lParam);
        LoginDialogData& data = *reinterpret_cast<LoginDialogData*>(lParam);
        ReadRegistryCredentials(data.email, data.password);
        // The password box holds the stored digest (shown masked); left as it is, it is sent unchanged, even
        // when a worker stores another digest while the dialog is open.
        data.filledDigest = data.password;
        SetDlgItemTextW(dialog, IDC_EMAIL, data.email.c_str());
        SetDlgItemTextW(dialog, IDC_PASSWORD, data.password.c_str());
        return TRUE; // the system sets the initial focus
    }
    case WM_CLOSE:
        EndDialog(dialog, kLoginCancelled);
        return TRUE;
    case WM_COMMAND:
        if (HIWORD(wParam) != BN_CLICKED)
            return FALSE;
        switch (LOWORD(wParam))
        {
        case IDOK:
            if (LoginDialogData* data = DialogData(dialog))
                EndDialog(dialog, VerifyCredentials(*data, dialog) ? kLoginAccepted : kLoginCheckFailed);
            return TRUE;
        case IDCANCEL:
            EndDialog(dialog, kLoginCancelled);
            return TRUE;
        case IDC_SIGN_UP:
            EndDialog(dialog, kLoginSignUp);
            return TRUE;
        default:
            return FALSE;
        }
    default:
        return FALSE;
    }
}

// A failing handler shows its error and leaves the dialog open; nothing unwinds into the window system.
INT_PTR CALLBACK LoginDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
try
{
    return HandleMessage(dialog, message, wParam, lParam);
}
catch (const wexception<std::runtime_error>& error)
{
    ShowError(error);
    return FALSE;
}
catch (...)
{
    return FALSE;
}
} // namespace

int OpenLoginDialog(LoginDialogData& data, HWND owner) noexcept
try
{
    data.email.clear();
    data.password.clear();
    data.filledDigest.clear();
    alreadyRegistered = 0;
    notRegistered = 0;
    // Inside our activation context the dialog's controls come from common controls version 6. Should the
    // context be unavailable, the dialog still works with the system's default controls, so it is shown anyway.
    const ActivationScope scope;
    return static_cast<int>(DialogBoxParamW(ModuleInstance(), MAKEINTRESOURCEW(IDD_LOGIN), owner, LoginDialogProc,
                                            reinterpret_cast<LPARAM>(&data)));
}
catch (const wexception<std::runtime_error>& error)
{
    ShowError(error);
    return kLoginCheckFailed;
}
catch (...)
{
    return kLoginNoDialog;
}

bool VerifyCredentials(LoginDialogData& data, HWND dialog)
{
    data.email = ControlText(dialog, IDC_EMAIL);
    data.password = ControlText(dialog, IDC_PASSWORD);
    if (data.password != data.filledDigest)
        data.password = PasswordDigest(data.password);

    std::wstring answer;
    if (!FetchServiceAnswer(service_urls::CredentialCheck(RequestNonce(), {data.email, data.password}), answer))
    {
        ShowCheckError(L"The server could not be reached at the moment. Please try again later.");
        return false;
    }
    // The toolbar tells the user about "0" and "2" after the dialog has closed.
    switch (ParseLoginAnswer(answer))
    {
    case LoginAnswer::Empty:
        ShowCheckError(L"An incorrect email address or password has been used.");
        return false;
    case LoginAnswer::AlreadyRegistered:
        alreadyRegistered = 1;
        return false;
    case LoginAnswer::NotRegistered:
        notRegistered = 1;
        return false;
    case LoginAnswer::Accepted:
        break;
    }

    // Accepted. The service counts installations per account: the one leaving this computer, then the new one.
    std::wstring storedEmail;
    std::wstring storedDigest;
    ReadRegistryCredentials(storedEmail, storedDigest);
    if (!storedEmail.empty() && storedEmail != data.email)
        SendInstallStatistics(service_urls::InstallStatsLeaving(storedEmail));
    if (storedEmail != data.email)
        SendInstallStatistics(service_urls::InstallStatsNew(data.email));
    const AccountWriteLock lock(kWindowLockWait);
    WriteRegistryCredentials(data.email, data.password);
    WriteIniCredentials(data.email, data.password);
    // Until the new account's verification (which the toolbar starts) says otherwise, nobody is signed in.
    SharedBlock& shared = Shared();
    shared.signedIn = 0;
    if (storedEmail != data.email)
    {
        StoreSharedText(shared.approvedText, L"");
        StoreSharedText(shared.pendingText, L"");
        shared.verifyNumber = 0;
    }
    return true;
}

bool LoginAlreadyRegistered() noexcept
{
    return alreadyRegistered != 0;
}

bool LoginNotRegistered() noexcept
{
    return notRegistered != 0;
}
