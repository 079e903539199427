// A shop visit with nothing faked but the browser, its Windows half: band, main worker's shop list, the toolbar's
// timer, the shop page's popup with the redirect link, captured into the working folder for click.mjs.
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
