// The login dialog of the Settings button (dialog 128): sign up, or enter the e-mail address and password of an
// existing account, which are checked with the service at once and stored only when it accepts them. Runs on
// the toolbar's user-interface thread; the network requests are made synchronously inside the OK handling.
#pragma once

#include <windows.h>

#include <string>

// Owned by the caller for the duration of the dialog.
struct LoginDialogData
{
    std::wstring email;        // as entered
    std::wstring password;     // as entered, then its digest (the pre-filled digest when left as it was)
    std::wstring filledDigest; // the stored digest the password box was filled with
};

// Results of OpenLoginDialog.
inline constexpr int kLoginCheckFailed = 0; // a message was shown or an outcome flag set
inline constexpr int kLoginCancelled = 1;   // Cancel or the close box
inline constexpr int kLoginAccepted = 2;    // the credentials were accepted and stored
inline constexpr int kLoginSignUp = 3;      // Sign Up chosen
inline constexpr int kLoginNoDialog = -1;   // the dialog could not be created

// Clears data and both outcome flags, then shows the dialog modally, owned by `owner`, inside the add-on's
// activation context. Returns one of the results above. Never throws: an error of the family escaping the
// dialog is shown with ShowError and gives kLoginCheckFailed; any other exception gives kLoginNoDialog.
int OpenLoginDialog(LoginDialogData& data, HWND owner) noexcept;

// The OK handling: reads the two edit controls of `dialog` (511 characters at most) into data, digests a
// password that differs from the digest the box was filled with, and asks the service. Shows the message boxes
// of an unreachable server (a reply that is not the service's answer included) and of an empty answer
// (trailing CR, LF and spaces aside), sets the outcome flag of an answer "0" or "2", and on any other answer
// reports a changed e-mail to the service and stores the account (registry, then INI), clearing the stored
// account's verification (and, for a new e-mail, the cashback amounts) with it. True only when the account
// was accepted. Throws windows_error when the registry fails.
bool VerifyCredentials(LoginDialogData& data, HWND dialog);

// The outcome of the last check, process-wide, kept until the next OpenLoginDialog:
// the service knows the e-mail but not that password (it answered "0") ...
[[nodiscard]] bool LoginAlreadyRegistered() noexcept;
// ... or does not know the e-mail (it answered "2").
[[nodiscard]] bool LoginNotRegistered() noexcept;
