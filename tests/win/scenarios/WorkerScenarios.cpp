// The workers, started as the add-on starts them; a whole run follows a sign-in in DialogScenarios.cpp.
#include "support/ScenarioTest.h"

using Worker = ScenarioTest;

// Account replies ({5} late) are stored and published, not for an account left meanwhile ({6}); errors: unreached.
TEST_F(Worker, AccountRepliesAreWrittenAndPublishedForTheAccountStillStored)
{
    const std::string demo = "email=demo@example.com password=md5(cashback)",
                      none = "email= password=", other = "email=b@example.com password=md5(other)",
                      pwd = "pwd_change_verify.php", verify = "cashback_verify.php",
                      p = "fixture?pwd_reply=", v = "fixture?verify_reply=", d = "demo%40*",
                      left = "signedIn=0 approved=old", approved(30, 'A'), pending(24, 'P');
    RunRows(
        R"(
        set reg email=demo@example.com password=md5(cashback) ver_upd_not_day=weekday(0)
        set shared approved=old pending=old verifyNumber=99
        file get_merchant.txt current|1<br>
        service {1}
        service scenario?set=slow&seconds=2&path={5}
        start main
        wait-request {5}*
        {6}
        {6}
        wait-idle
        expect reg {2}
        expect ini {3}
        expect-requests pwd_change_verify.php* cashback_verify.php?y=*&t={4}&d=*
        expect shared {7}
    )",
        {{p + "1%7cab%7cx", "email=demo@example.com password=ab|x", "password=ab|x", "demo%40example.com&m=ab%7Cx", pwd,
          "", left},
         {p + "2%7cab%7cm@x.uk", "email=m@x.uk password=ab", "email=m@x.uk", "m%40x.uk&m=ab", pwd, "", left},
         {p + "2%7cab", demo, demo, d, pwd, "", "signedIn=1 approved=12.50£"},
         {p + "1%7cab", other, none, "b%40*", pwd, "set reg " + other, left},
         {p + "0%7c", other, none, d, verify, "set reg " + other, left},
         {v + "1%7cx", demo, none, d, verify, "", "signedIn=1 approved=old pending=old verifyNumber=99"},
         {v + "2%7cx", demo, none, d, verify, "", left + " notRegisteredPending=1 wrongPasswordPending=0"},
         {v + "0%7cx", demo, none, d, verify, "", left + " notRegisteredPending=0 wrongPasswordPending=1"},
         {v + "1%7c" + approved + "%7c" + pending + "%7c-5", demo, none, d, verify, "",
          "approved=" + approved.substr(0, 24) + " pending=" + pending + " verifyNumber=-5"},
         {"scenario?set=error&code=500&keep=1&path=" + pwd + "," + verify, demo, none, d, pwd,
          "answer Error ok \"The server could not be *\"", left + " wrongPasswordPending=0"}});
}

// An older version is offered; No keeps the day quiet, Yes starts the updater and stores nothing.
SCENARIO(Worker, UpdatePromptStartsTheUpdaterOnYesAndIsQuietForTheDayAfterNo, R"(
    set reg email=demo@example.com
    service scenario?set=new_version&version=1.0.00
    start main
    answer Quillbury no "A new version of Quillbury toolbar is available. Would you like to install it?"
    wait-idle
    expect reg ver_upd_not_day=weekday(0)
    expect-requests get_merchant.php?PID=QLBY check_version.php?PID=QLBY
    start main
    wait-idle
    expect-requests
    set reg ver_upd_not_day=weekday(1)
    start main
    answer Quillbury yes "A new version of Quillbury toolbar is available. Would you like to install it?"
    wait-idle
    wait-for reg "updater=ran with 0 arguments" ver_upd_not_day=weekday(1)
)")

// A failed download (faults: FaultTest.cpp) keeps the old list and the worker not done, and leaves nothing behind.
TEST_F(Worker, TheShopListIsRefreshedOnceADayAndAFailedDownloadKeepsTheOldOne)
{
    const std::string old = R"(old|1<br>\r\n\xff\x00tail)", clear = "scenario?clear=all",
                      list = "&path=get_merchant.php";
    RunRows(R"(
        file config.ini "[config]\r\nemail=demo@example.com\r\npassword=d943641d1ed7d29e955f36d6327ead93\r\n"
        set reg email=demo@example.com password=md5(cashback) ver_upd_not_day=weekday(0)
        set shared signedIn=1
        file get_merchant.txt old|1<br>\r\n\xff\x00tail
        file get_merchant.txt age={1}
        file get_merchant.txt.4000000.1.tmp left
        service {2}
        resources mark
        start main
        wait-idle
        resources back
        expect-file get_merchant.txt {3}
        expect-no-tmp
        expect shared mainDone={4}
        expect-file config.ini "[config]\r\nemail=demo@example.com\r\npassword=d943641d1ed7d29e955f36d6327ead93\r\n"
        expect reg email=demo@example.com password=md5(cashback)
    )",
            {{"-11.99", clear, old, "1"},
             {"-24", clear, "served", "1"},
             {"24", clear, "served", "1"},
             {"month", clear, "served", "1"},
             {"-24", "scenario?set=error&code=503&keep=1" + list, old, "0"},
             {"-24", "fixture?merchant_reply=", old, "0"},
             {"-24", "scenario?set=stall&seconds=3" + list, old, "0"},
             {"-24", "scenario?set=truncate" + list, old, "0"},
             {"-24", "scenario?set=huge" + list, "served", "1"}});
}

TEST_F(Worker, TheNoticeIsStoredOnlyForAnUnverifiedAccountFromAWholeReply)
{
    const std::string notice = std::string(250, 'N') + "%7ctail%7c", stored = std::string(250, 'N') + "|tai";
    RunRows(R"(
        set reg email=demo@example.com password={1}
        set shared signedIn={2} noticeDone=0
        service {3}
        start notice
        wait-idle
        expect-requests {4}
        expect shared noticeDone={5} "notice={6}"
    )",
            {{"md5(cashback)", "0", "scenario?set=notice&text=" + notice, "check_notice.php*", "1", stored},
             {"md5(cashback)", "0", "scenario?set=drop&path=check_notice.php", "check_notice.php* * *", "0", ""},
             {"md5(cashback)", "1", "scenario?set=notice", "", "0", ""},
             {"", "0", "scenario?set=notice", "", "0", ""}});
}
