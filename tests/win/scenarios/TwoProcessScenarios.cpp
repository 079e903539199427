// Two browser processes of one user (the other of the other bitness: QB_OTHER_PROGRAM) share one state.
#include "support/ScenarioTest.h"

using TwoProcesses = ScenarioTest;
using TwoProcessesChild = ScenarioTest;

// The idle workers run once for both; the amounts and sign-in shown here show there; each process shows a popup.
SCENARIO(TwoProcesses, ShareOneStateAndStartTheIdleWorkersOnce, R"(
    set reg email=demo@example.com password=md5(cashback)
    set shared mainDone=0 noticeDone=0 signedIn=1 approved=12.50£
    open
    tick
    wait-idle
    expect-requests pwd_change_verify.php* get_merchant.php?PID=QLBY check_version.php?PID=QLBY
    tick
    visit http://www.shop.example/basket
    expect-popup shop in 1000
    child TwoProcessesChild.UsesTheFirstProcessState
    expect-requests
)")

SCENARIO(TwoProcessesChild, UsesTheFirstProcessState, R"(
    open
    tick
    expect tab button18=12.50£
    visit http://www.shop.example/basket
    expect-popup shop in 1000
)")
