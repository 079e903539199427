// The toolbar band as a user meets it: the buttons, the keyboard, the drop-downs and the timer.
#include "support/ScenarioTest.h"

using Band = ScenarioTest;

SCENARIO(Band, EveryButtonOpensItsPage, R"(
    set ini email=anne@example.com password=0123456789abcdef0123456789abcdef
    open
    click-button 3
    type-search "100% #1?"
    click-button 3
    click-button 5
    click-button 11
    click-button 13
    click-button 14
    click-button 18
    click-button 19
    expect-navigations "search/100%25 %231%3F\" "k3tq8w2m/tb.php?y={y}&t=anne%40example.com&m=0123456789abcdef0123456789abcdef&f={y}&PID=QLBY" free_cashback/ http://twitter.com/quillbury http://www.facebook.com/quillbury
)")

SCENARIO(Band, TimerShowsAmountsMessagesAndTheNoticeOnce, R"(
    open
    expect-button 18 "£ 0.00"
    set shared approved=12.50£ pending=€3.00 wrongPasswordPending=1 notice="Double cashback | this weekend"
    tick
    answer Error no "You are already registered with Quillbury.*"
    answer "Quillbury Alert" ok "Double cashback | this weekend"
    expect-button 18 12.50£
    expect-button 19 €3.00
    expect shared wrongPasswordPending=0 noticeShown=1
    tick
)")
