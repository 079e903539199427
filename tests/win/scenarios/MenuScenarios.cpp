// Offers and Vouchers: empty away from shops, else the shop's items; signed out, a web address the service names.
#include "support/ScenarioTest.h"

using Menus = ScenarioTest;

SCENARIO(Menus, OffersAndVouchersOfTheShopShownAreMenusOrSignedOutTheAddressTheServiceNames, R"menu(
    set ini email=demo@example.com password=md5(cashback)
    set shared signedIn=1
    file get_merchant.txt "http://www.shop.example/|1000<br>http://www.testshop.co.uk|1003<br>"
    open band
    tick
    visit http://elsewhere.example/
    drop-down 8
    expect-menu "No vouchers to display for this website (greyed)"
    expect-requests
    visit http://www.shop.example/basket?item=7
    drop-down 7
    expect-menu "Up to 8% cashback on everything" "Save £10 when you spend £50" "€5 off European delivery" "¥1000 off Japanese imports" "Tom && Jerry's toy sale"
    drop-down 8
    expect-menu "10% off everything" "£5 off orders over £30" "Code with pipes" "Script code" "Quotes code"
    expect-requests get_offer.php?y=dummy&t=dummy&m=dummy&i=1000&f=dummy&PID=QLBY get_voucher.php?y=dummy&t=dummy&m=dummy&i=1000&f=dummy&PID=QLBY
    command 60002
    expect-navigations k3tq8w2m/tb.php?y={y}&t=demo%40example.com&m=d943641d1ed7d29e955f36d6327ead93&off=5002&f={y}&PID=QLBY
    command 50003
    expect-popup voucher
    expect tab page="*>A|B|C</td>*" page="*&amp;vou=9003&amp;*"
    visit http://www.testshop.co.uk/
    drop-down 7
    command 60040
    expect-navigations *&off=5140&*
    set shared signedIn=0
    service fixture?offers_reply=javascript:alert(1)&vouchers_reply=javascript:alert(1)
    drop-down 7
    drop-down 8
    service fixture?offers_reply=<html><body>http://www.shop.example/deals</body></html>&vouchers_reply=https://www.shop.example/codes
    click-button 7
    click-button 8
    expect-navigations http://www.shop.example/deals https://www.shop.example/codes
    expect-requests get_offer.php?*&i=1003&* get_offer.php?*&i=1003&* get_voucher.php?*&i=1003&* get_offer.php?*&i=1003&* get_voucher.php?*&i=1003&*
)menu")
