// The login dialog opened from the toolbar: what reaches the service, what is stored, what follows.
#include "support/ScenarioTest.h"

using Dialog = ScenarioTest;

static const std::string kSecret = "5ebe2294ecd0e0f08eab7690d2a6ee69";   // the digest of "secret"
static const std::string kCashback = "d943641d1ed7d29e955f36d6327ead93"; // of "cashback"
static const std::string kStats = "install_stats.php?y=",
                         kClient = "&f=%7B6A0C3B55-1D47-4E92-B8F3-2C95D0E1A774%7D&PID=QLBY";

// By what was stored and typed ("" keeps the masked box): the check, statistics, both stores, the verifying run.
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

// Every other way out stores nothing; the dialog says why or goes on (a hidden toolbar ignores the answer).
TEST_F(Dialog, ARefusedOrAbandonedSignInStoresNothingAndTheToolbarFollowsUp)
{
    const std::string reject = "scenario?set=reject&reply=", verify = "cashback_verify.php*",
                      already = "answer Error yes \"You are already registered*\"",
                      unreachable = "answer Error ok \"The server could not be reached*\"";
    RunRows(
        R"(
        set ini email=demo@example.com password=d943641d1ed7d29e955f36d6327ead93
        set shared signedIn=0 {2}
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
        {{"already registered (a line end after)", "", reject + "0%0d%0a", "1", already, verify,
          "https://www.quillbury.co.uk/get_password/"},
         {"already registered, the toolbar hidden meanwhile", "", reject + "0", "1",
          "wait-window Error\nband off\n" + already, verify, ""},
         {"not registered", "", reject + "2", "1", "answer Error yes \"You must be registered*\"", verify, "register/"},
         {"empty answer", "", reject + "%0d%0a", "1", "answer Error ok \"An incorrect email*\"", verify, ""},
         {"a network's sign-in page", "", "scenario?set=reply&path=cashback_verify&text=%3Chtml%3E0%3C/html%3E", "1",
          unreachable, verify, ""},
         {"no answer", "", "scenario?set=drop&path=cashback_verify", "1", unreachable, verify + " * *", ""},
         {"cancel", "noticeDone=0", "reset", "2", "wait-request check_notice.php?*", "check_notice.php?*", ""},
         {"close box", "signedIn=1 mainDone=0 noticeDone=0", "reset", "close", "wait-idle", "", ""},
         {"sign up", "", "reset", "1016", "wait-idle", "", "register/"}});
}
