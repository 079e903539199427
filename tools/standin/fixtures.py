"""Fixture data of the stand-in cashback service: accounts, the shop list, offers, vouchers, notice, version.

Everything is deterministic: the same options always give the same shops, identifiers, offers and codes, so
tests can rely on them. A handful of hand-made test shops come first in the shop list (first match wins in
the client's lookup); the rest are generated UK-looking shops.
"""

import hashlib
import random
from dataclasses import dataclass

CURRENT_VERSION = "1.1.05"
DEFAULT_SHOP_COUNT = 300

DEFAULT_ACCOUNTS = {
    "demo@example.com": "cashback",
    "test@example.com": "secret",
    # A password outside ASCII: its digest is taken over the Windows-1252 bytes, as the client does.
    "pound@example.com": "\u00a3ecret",
}

DEFAULT_APPROVED = "12.50&pound;"
DEFAULT_PENDING = "&euro;3.00"
DEFAULT_NUMBER = "7"
DEFAULT_NOTICE = "Welcome to Quillbury | sign in to see your cashback | it's free"

# Reply texts that can be replaced verbatim through the control API (fixture?NAME=text).
OVERRIDE_NAMES = (
    "verify_reply",
    "pwd_reply",
    "notice_reply",
    "version_reply",
    "stats_reply",
    "offers_reply",
    "vouchers_reply",
    "merchant_reply",
)


def password_digest(password):
    """The service's stored form of a password: MD5 of its Windows-1252 bytes, 32 lower-case hex digits."""
    return hashlib.md5(password.encode("cp1252", errors="replace")).hexdigest()


@dataclass(frozen=True)
class Shop:
    name: str
    address: str  # as written in the list: with a scheme, or beginning with "www."
    domain: str  # host without "www.", what the client matches pages against
    shop_id: str


TEST_SHOPS = (
    Shop("Shop Example", "http://www.shop.example/", "shop.example", "1000"),
    Shop("Gadget Example", "www.gadget.example", "gadget.example", "1001"),
    Shop("Books Example", "https://books.example/", "books.example", "1002"),
    Shop("Quillbury Test Shop", "http://www.testshop.co.uk", "testshop.co.uk", "1003"),
)

# Shop 1000: well-formed records with entities, a code holding "|", script and quote characters.
TEST_OFFERS = {
    "1000": [
        ("Up to 8% cashback on everything", "5001"),
        ("Save &pound;10 when you spend &pound;50", "5002"),
        ("&euro;5 off European delivery", "5003"),
        ("&yen;1000 off Japanese imports", "5004"),
        ("Tom &amp; Jerry's toy sale", "5005"),
    ],
    "1001": [],
    "1003": [("Offer number %d with extra cashback" % n, str(5100 + n)) for n in range(1, 41)],
}
TEST_VOUCHERS = {
    "1000": [
        ("10% off everything", "9001", "SAVE10"),
        ("&pound;5 off orders over &pound;30", "9002", "FIVER30"),
        ("Code with pipes", "9003", "A|B|C"),
        ("Script code", "9004", "<script>alert(1)</script>"),
        ("Quotes code", "9005", "O'Brien \"Q\" \\ end"),
    ],
    "1001": [],
    "1003": [("Voucher number %d" % n, str(9100 + n), "CODE%02d" % n) for n in range(1, 21)],
}
# Shop 1002 answers with records the client must skip or split carefully.
TEST_RAW_BODIES = {
    ("offers", "1002"): "First offer|6001<br>Record without separator<br>Second offer|6002|extra<br>"
    "trailing text without a break",
    ("vouchers", "1002"): "One pipe only|7001<br>Good voucher|7002|GOOD1<br>Three pipes|7003|X|Y<br>"
    "trailing text without a break",
}

_FIRST_WORDS = (
    "Harbour", "Thistle", "Oakridge", "Kingsway", "Bramble", "Marlow", "Ashford", "Highgate", "Bluebell",
    "Riverside", "Cotswold", "Penrose", "Windsor", "Hawthorn", "Lakeland", "Northgate", "Silverbirch",
    "Redbrick", "Foxglove", "Stonebridge", "Willow", "Brighton", "Camden", "Mayfair", "Chelsea", "Heather",
    "Beacon", "Meadow", "Copper", "Larch",
)
_SECOND_WORDS = (
    "Home", "Outlet", "Direct", "Books", "Electricals", "Fashion", "Garden", "Pets", "Toys", "Sports",
    "Beauty", "Kitchen", "Travel", "Wines", "Gifts", "Crafts", "Shoes", "Interiors", "Tech", "Cycles",
    "Pharmacy", "Jewellery", "Music", "Games", "Hardware", "Bakery", "Optics", "Linen", "Tea", "Audio",
)
_ADDRESS_FORMS = (
    "http://www.{d}/", "http://www.{d}", "www.{d}", "https://www.{d}/", "http://{d}/", "http://www.{d}/shop/",
)
_TLDS = (".co.uk", ".co.uk", ".co.uk", ".com", ".uk")


def generate_shops(count, seed=1105):
    """The test shops followed by generated ones, `count` records in all (at least the test shops' prefix)."""
    shops = list(TEST_SHOPS[: max(0, count)])
    rng = random.Random(seed)
    combos = [(a, b) for a in _FIRST_WORDS for b in _SECOND_WORDS]
    rng.shuffle(combos)
    next_id = 1100
    index = 0
    while len(shops) < count:
        first, second = combos[index % len(combos)]
        round_number = index // len(combos)
        index += 1
        suffix = "" if round_number == 0 else str(round_number + 1)
        name = "%s %s%s" % (first, second, " " + suffix if suffix else "")
        domain = (first + second).lower() + suffix + rng.choice(_TLDS)
        address = rng.choice(_ADDRESS_FORMS).format(d=domain)
        next_id += rng.randint(1, 7)
        shops.append(Shop(name, address, domain, str(next_id)))
    return shops


def _generated_offers(shop):
    rng = random.Random("offers" + shop.shop_id)
    templates = (
        "Up to {p}% cashback at {n}",
        "Save &pound;{a} when you spend &pound;{b}",
        "Free delivery on orders over &pound;{b}",
        "Extra {p}% off sale items",
        "&euro;{a} off travel bookings",
        "Double cashback this weekend",
    )
    chosen = rng.sample(templates, rng.randint(0, 5))
    base = int(shop.shop_id) * 100
    return [
        (t.format(p=rng.randint(2, 15), a=rng.randint(5, 25), b=rng.randint(30, 90), n=shop.name), str(base + k))
        for k, t in enumerate(chosen, 1)
    ]


def _generated_vouchers(shop):
    rng = random.Random("vouchers" + shop.shop_id)
    templates = ("{p}% off your first order", "&pound;{a} off orders over &pound;{b}", "Free gift with every order")
    chosen = rng.sample(templates, rng.randint(0, 3))
    base = int(shop.shop_id) * 100 + 50
    stem = "".join(ch for ch in shop.name.upper() if ch.isalpha())[:5]
    return [
        (
            t.format(p=rng.randint(5, 20), a=rng.randint(5, 15), b=rng.randint(40, 99)),
            str(base + k),
            "%s%d" % (stem, rng.randint(10, 99)),
        )
        for k, t in enumerate(chosen, 1)
    ]


class Fixtures:
    """Mutable fixture state of one stand-in instance. Callers hold the stand-in's lock around any use."""

    def __init__(self, shop_count=DEFAULT_SHOP_COUNT, shop_file_bytes=None, accounts=None):
        self.accounts = {}  # lower-case e-mail -> (e-mail as given, plain password or None, digest)
        for email, password in {**DEFAULT_ACCOUNTS, **(accounts or {})}.items():
            self.set_account(email, password)
        self.shop_file_bytes = shop_file_bytes
        self.set_shop_count(shop_count)
        self.version = CURRENT_VERSION
        self.notice = ""  # empty: no notice
        self.approved = DEFAULT_APPROVED
        self.pending = DEFAULT_PENDING
        self.number = DEFAULT_NUMBER
        self.overrides = {}  # name in OVERRIDE_NAMES -> verbatim reply text

    # Accounts
    def set_account(self, email, password=None, digest=None):
        """Adds or replaces an account, given its plain password or (when only that is known) its digest."""
        self.accounts[email.lower()] = (email, password, digest or password_digest(password or ""))

    def remove_account(self, email):
        self.accounts.pop(email.lower(), None)

    def check_credentials(self, email, digest):
        """'accepted', 'wrong_password' or 'unknown'. E-mail compared without case; digest exactly."""
        account = self.accounts.get(email.lower())
        if account is None:
            return "unknown"
        return "accepted" if account[2] == digest else "wrong_password"

    # Shops
    def set_shop_count(self, count):
        self.shops = generate_shops(count)
        self._by_id = {shop.shop_id: shop for shop in self.shops}
        self._by_domain = {shop.domain: shop for shop in self.shops}

    def shop_list_bytes(self):
        if self.shop_file_bytes is not None:
            return self.shop_file_bytes
        return "".join("%s|%s<br>" % (s.address, s.shop_id) for s in self.shops).encode("cp1252")

    def shop_for_host(self, host):
        """The shop whose domain is this host (or a parent of it), or None."""
        host = host.lower()
        if host.startswith("www."):
            host = host[4:]
        while host:
            shop = self._by_domain.get(host)
            if shop is not None:
                return shop
            host = host.partition(".")[2]
        return None

    def shop_by_id(self, shop_id):
        return self._by_id.get(shop_id)

    # Offers and vouchers: record texts as the service sends them (between <body> and </body>)
    def offers_text(self, shop_id):
        raw = TEST_RAW_BODIES.get(("offers", shop_id))
        if raw is not None:
            return raw
        if shop_id in TEST_OFFERS:
            items = TEST_OFFERS[shop_id]
        else:
            shop = self.shop_by_id(shop_id)
            items = _generated_offers(shop) if shop else []
        return "".join("%s|%s<br>" % item for item in items)

    def vouchers_text(self, shop_id):
        raw = TEST_RAW_BODIES.get(("vouchers", shop_id))
        if raw is not None:
            return raw
        if shop_id in TEST_VOUCHERS:
            items = TEST_VOUCHERS[shop_id]
        else:
            shop = self.shop_by_id(shop_id)
            items = _generated_vouchers(shop) if shop else []
        return "".join("%s|%s|%s<br>" % item for item in items)

    def verify_success_reply(self):
        return "1|%s|%s|%s" % (self.approved, self.pending, self.number)

    def describe(self):
        return {
            "accounts": {email: {"password": pw, "digest": digest} for email, pw, digest in self.accounts.values()},
            "shops": len(self.shops),
            "shop_file": self.shop_file_bytes is not None,
            "version": self.version,
            "notice": self.notice,
            "approved": self.approved,
            "pending": self.pending,
            "number": self.number,
            "overrides": dict(self.overrides),
        }
