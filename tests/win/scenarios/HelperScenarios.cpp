// The helper object as a tab meets it: the workers it starts when sited, the band, and the shop popup.
#include "support/ScenarioTest.h"

using Tab = ScenarioTest;
using ShopPopup = ScenarioTest;

TEST_F(Tab, StartsEachWorkerOnlyWhenItIsNeitherDoneNorRunning)
{
    RunRows(R"(
        set ini email=demo@example.com password=md5(cashback)
        set reg email=demo@example.com password=md5(cashback) ver_upd_not_day=weekday(0)
        set shared noticeShown=1 {1}
        open
        set shared {2}
        wait-idle
        expect-requests {3}
    )",
            {{"mainDone=0", "noticeShown=1", "pwd_change_verify.php* cashback_verify.php* get_merchant.php?PID=QLBY"},
             {"mainDone=0 mainRunning=1", "mainRunning=0", ""},
             {"noticeDone=0", "noticeShown=1", "check_notice.php*"},
             {"noticeDone=0 noticeRunning=1", "noticeRunning=0", ""}});
}

// After the row's page, a page of shop 101 shows whether it recorded the shop. A hidden toolbar has no list.
TEST_F(ShopPopup, EachConditionOfTheDecision)
{
    RunRows(R"(
        file get_merchant.txt "http://www.shop-one.com|101<br>http://www.second-shop.co.uk/|SHOP-2<br>"
        set shared noticeShown=1
        open
        {1}
        {2}
        expect-popup {3}
        visit http://www.shop-one.com/later
        expect-popup {4}
    )",
            {{"echo the list is not loaded yet", "visit http://www.shop-one.com/", "none", "none"},
             {"tick", "visit http://www.shop-one.com/?from=http://WWW.QUILLBURY.CO.UK/", "none", "shop out 101"},
             {"tick", "moved http://www.shop-one.com/first http://www.shop-one.com/next", "none", "shop out 101"},
             {"tick", "visit http://www.unknown-store.com/shop-one.com", "none", "shop out 101"},
             {"tick", "visit http://www.shop-one.com/ html \"\"", "none", "shop out 101"},
             {"tick", "visit http://www.shop-one.com/", "shop out 101", "none"},
             {"tick", "visit www.shop-one.com/page", "shop out 101", "none"},
             {"tick", "frame http://ads.second-shop.co.uk/f", "shop", "shop out 101"},
             {"tick", "band off\nvisit http://www.shop-one.com/\nband on\ntick", "none", "shop out 101"}});
}

// Sited again, the helper gives its connection back first, selects the search box's text and still shows popups.
TEST_F(ShopPopup, TheBandIsReadyAtEachSiting)
{
    Run(R"(
        file get_merchant.txt "http://www.shop-one.com|101<br>"
        set shared noticeShown=1
        open
        expect tab focus=search
        type-search "running shoes"
        site-again
        expect tab sinks=2
        expect tab focus=search
        expect tab selection="0 13"
        tick
        visit "http://www.shop-one.com/item?id=7&colour=red"
        expect-popup shop out 101
        close
        expect tab sinks=0
    )",
        true);
}
