// The login dialog opened from the toolbar's Settings button and used as a person uses it: what reaches the
// service, what is stored, what the toolbar says and does afterwards, and which idle workers it starts.
#include "support/ScenarioTest.h"

using Dialog = ScenarioTest;

static const std::string kSecret = "5ebe2294ecd0e0f08eab7690d2a6ee69";   // the digest of "secret"
static const std::string kCashback = "d943641d1ed7d29e955f36d6327ead93"; // of "cashback"
static const std::string kStats = "install_stats.php?y=",
                         kClient = "&f=%7B6A0C3B55-1D47-4E92-B8F3-2C95D0E1A774%7D&PID=QLBY";

// By what was stored and what is typed ("" keeps what the masked box shows): the check with the digest (the one the
// box was filled with, though a worker changed the stored one meanwhile), the statistics of an account change (old
// e-mail, then new, compared exactly), both stores, and a main run that verifies the new account with one nonce and
// publishes what the toolbar shows; the next run, signed in and with today's list, asks only two things.
TEST_F(Dialog, AnAcceptedSignInIsCheckedReportedStoredAndVerified)
{
    RunRows(
        R"(
        set ini email={2} password={3}
        set shared {10}
        open band
        click-button 16
        type-into-dialog "Quillbury : Login" 1017 "{4}"
        type-into-dialog "Quillbury : Login" 1018 "{5}"
        expect tab masked=yes
        {11}
        press-dialog "Quillbury : Login" 1
        wait-idle
        expect-requests "cashback_verify.php?y={n}&t={6}&m={7}&d={n}&f={n}&PID=QLBY" {8} "pwd_change_verify.php?y={y}&t={6}&m={7}&d={y}&f={y}&PID=QLBY" "cashback_verify.php?y={y}&t={6}&m={7}&d={y}&f={y}&PID=QLBY" get_merchant.php?PID=QLBY check_version.php?PID=QLBY
        expect tab agents="{a} of {a}"
        expect reg email={9} password={7}
        expect ini email={9} password={7}
        tick
        expect shared signedIn=1 approved=12.50£ pending=€3.00 verifyNumber=7 mainDone=1 mainRunning=0
        expect tab button18=12.50£ button19=€3.00
        start main
        wait-idle
        expect-requests pwd_change_verify.php* check_version.php?PID=QLBY
        expect-file get_merchant.txt served
    )",
        {{"first", "", "", "test@example.com", "secret", "test%40example.com", kSecret,
          kStats + "1&t=test%40example.com" + kClient, "test@example.com", "signedIn=0", ""},
         {"pre-filled", "demo@example.com", kCashback, "", "", "demo%40example.com", kCashback, "", "demo@example.com",
          "signedIn=0", "set reg password=md5(changed)"},
         {"another e-mail, if only by case", "demo@example.com", kCashback, "Demo@example.com", "cashback",
          "Demo%40example.com", kCashback,
          kStats + "0&t=demo%40example.com" + kClient + " " + kStats + "1&t=Demo%40example.com" + kClient,
          "Demo@example.com", "signedIn=1 approved=old pending=old", ""}});
}

// Every other way out leaves the stored account alone; the dialog or the toolbar says why, or goes on (sign-up
// page; signed out, the idle workers start: the notice worker asks at once, a main worker would too). A toolbar
// that went while its question was open does nothing with the answer.
TEST_F(Dialog, ARefusedOrAbandonedSignInStoresNothingAndTheToolbarFollowsUp)
{
    RunRows(
        R"(
        set ini email=demo@example.com password=d943641d1ed7d29e955f36d6327ead93
        set shared {2}
        service {3}
        open band
        click-button 16
        type-into-dialog "Quillbury : Login" 1017 test@example.com
        type-into-dialog "Quillbury : Login" 1018 wrong
        press "Quillbury : Login" {4}
        {5}
        wait-idle
        expect-requests {6}
        expect-navigations {7}
        expect reg email=demo@example.com password=d943641d1ed7d29e955f36d6327ead93
    )",
        {{"already registered (a line end after)", "signedIn=0", "scenario?set=reject&reply=0%0d%0a", "1",
          "answer Error yes \"You are already registered with Quillbury.*\"", "cashback_verify.php*",
          "https://www.quillbury.co.uk/get_password/"},
         {"already registered, the toolbar hidden meanwhile", "signedIn=0", "scenario?set=reject&reply=0", "1",
          "wait-window Error\nband off\nanswer Error yes \"You are already registered with Quillbury.*\"",
          "cashback_verify.php*", ""},
         {"not registered", "signedIn=0", "scenario?set=reject&reply=2", "1",
          "answer Error yes \"You must be registered in order to take advantage of cashback. Click YES to register.\"",
          "cashback_verify.php*", "register/"},
         {"empty answer", "signedIn=0", "scenario?set=reject&reply=%0d%0a", "1",
          "answer Error ok \"An incorrect email address or password has been used.\"", "cashback_verify.php*", ""},
         {"a network's sign-in page", "signedIn=0",
          "scenario?set=reply&path=cashback_verify&text=%20%3Chtml%3E%3Cform%3ESign%20in%7C%3C/form%3E%3C/html%3E", "1",
          "answer Error ok \"The server could not be reached at the moment. Please try again later.\"",
          "cashback_verify.php*", ""},
         {"no answer", "signedIn=0", "scenario?set=drop&path=cashback_verify", "1",
          "answer Error ok \"The server could not be reached at the moment. Please try again later.\"",
          "cashback_verify.php* cashback_verify.php* cashback_verify.php*", ""},
         {"cancel", "noticeDone=0", "reset", "2", "wait-request check_notice.php?*", "check_notice.php?*", ""},
         {"close box", "signedIn=1 mainDone=0 noticeDone=0", "reset", "close", "wait-idle", "", ""},
         {"sign up", "signedIn=0", "reset", "1016", "wait-idle", "", "register/"}});
}
