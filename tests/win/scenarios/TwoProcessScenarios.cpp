// Two browser processes of one user at once: the second is this program's 32-bit build where this machine runs
// 32-bit programs (QB_OTHER_PROGRAM), else this program again. One account, one shop list, one shared block.
#include "support/ScenarioTest.h"

using TwoProcesses = ScenarioTest;
using TwoProcessesChild = ScenarioTest;

// The first process: its idle workers download the list and run once for both; signing in here shows the
// amounts there; each process shows a shop's popup once.
SCENARIO(TwoProcesses, ShareOneStateAndStartTheIdleWorkersOnce, R"(
    set shared mainDone=0 noticeDone=0
    open
    tick
    wait-idle
    expect-requests get_merchant.php?PID=QLBY check_version.php?PID=QLBY
    click-button 16
    type-into-dialog "Quillbury : Login" 1017 demo@example.com
    type-into-dialog "Quillbury : Login" 1018 cashback
    press-dialog "Quillbury : Login" 1
    wait-idle
    expect-requests cashback_verify.php* install_stats.php* pwd_change_verify.php* cashback_verify.php* check_version.php*
    tick
    expect tab button18=12.50£
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
    visit http://www.shop.example/
    expect-popup none
)")
