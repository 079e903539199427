// A shop visit with nothing faked but the browser, its Windows half: the tab shows the band, then its helper
// object starts the main worker, which downloads the stand-in's shop list; the toolbar's timer loads it; the
// shop's page gets the popup with the redirect link (signed out: shop 1000; signed in: shop 1003; a popup shows
// once per shop and process). The page as a user gets it is captured into the working folder for click.mjs.
#include "support/ScenarioTest.h"

using ShopRoad = ScenarioTest;

TEST_F(ShopRoad, TheListArrivesAndTheShopPageGetsThePopup)
{
    RunRows(R"(
        {2}
        set shared mainDone=0 noticeDone=0
        open band
        open
        wait-idle
        expect shared mainDone=1 signedIn={4}
        expect-file get_merchant.txt served
        tick
        expect tab button18={5}
        visit {3}/products/kettle?colour=red&size=2
        expect-popup shop {6}
        capture {1}-captured.html
    )",
            {{"shoproad", "echo signed out", "http://www.shop.example", "0", "\"\"", "out 1000"},
             {"shoproad-signedin", "set ini email=demo@example.com password=md5(cashback)", "http://www.testshop.co.uk",
              "1", "12.50£", "in 1003"}});
}
