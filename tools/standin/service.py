"""The cashback service's endpoints and site pages, answered from the fixtures.

Server scripts live in the script directory "/k3tq8w2m/"; their replies are texts whose fields are separated
by "|" (lists end each record with "<br>"). Site pages and the addresses the browser opens (redirect links,
the account page, search, hot deals ...) get a small HTML page naming the page and echoing the request, so an
end-to-end test can see what a click carried. Pages of the fixture shops' own hosts get a small shop page.
"""

import html
import json
from dataclasses import dataclass, field

from fixtures import DEFAULT_NOTICE, password_digest
from request import decode_component

SCRIPT_DIR = "/k3tq8w2m/"
HTML_UTF8 = "text/html; charset=UTF-8"
SOCIAL_HOSTS = ("twitter.com", "x.com", "facebook.com")


@dataclass
class Reply:
    body: bytes = b""
    status: int = 200
    ctype: str = HTML_UTF8
    endpoint: str = ""
    headers: list = field(default_factory=list)  # extra [name, value] pairs


def text_reply(text, endpoint, status=200, ctype=HTML_UTF8):
    return Reply(text.encode("utf-8"), status, ctype, endpoint)


def not_found(request, endpoint="unknown"):
    body = "<html><head><title>404 Not Found</title></head><body><h1>Not Found</h1><p>%s</p></body></html>" % (
        html.escape(request.path)
    )
    return text_reply(body, endpoint, 404)


def render_page(title, request, endpoint, extra=None, site="Quillbury - "):
    """A small page that names itself and echoes the request: address, host, path and query pairs."""
    rows = "".join(
        "<tr><td>%s</td><td>%s</td></tr>" % (html.escape(k), html.escape(v)) for k, v in request.params
    )
    details = {
        "page": endpoint,
        "url": request.url,
        "host": request.host,
        "path": request.path,
        "query": request.query,
        "params": request.params,
    }
    details.update(extra or {})
    # The JSON copy is for scripts; "</" is escaped so that no text can close the script element early.
    blob = json.dumps(details).replace("</", "<\\/")
    body = (
        "<html><head><title>%s%s</title></head><body>"
        '<h1 id="page" data-page="%s">%s</h1>'
        '<p id="url">%s</p>'
        '<table id="query">%s</table>'
        '<script type="application/json" id="request">%s</script>'
        "</body></html>"
    ) % (
        html.escape(site),
        html.escape(title),
        html.escape(endpoint),
        html.escape(title),
        html.escape(request.url),
        rows,
        blob,
    )
    return text_reply(body, endpoint)


class Service:
    """Answers service requests. `state` gives .fixtures and .scenarios; the caller holds its lock."""

    def __init__(self, state):
        self.state = state
        self.scripts = {  # script -> (endpoint name in the log, handler)
            "cashback_verify.php": ("verify", self.verify),
            "install_stats.php": ("install_stats", self.install_stats),
            "pwd_change_verify.php": ("pwd_change", self.password_change),
            "check_notice.php": ("notice", self.notice),
            "get_merchant.php": ("shop_list", self.shop_list),
            "check_version.php": ("version", self.version),
            "get_voucher.php": ("vouchers", self.vouchers),
            "get_offer.php": ("offers", self.offers),
            "tb.php": ("link", self.link_page),
        }
        self.pages = {
            "": ("Home", "home"),
            "hot_deals": ("Hot deals", "hot_deals"),
            "top_vouchers": ("Top vouchers", "top_vouchers"),
            "top_shops": ("Top shops", "top_shops"),
            "free_cashback": ("Free cashback", "free_cashback"),
            "register": ("Register", "register"),
            "get_password": ("Password reminder", "get_password"),
            "get_password2": ("Password reminder sent", "get_password2"),
            "inc/chk_login.php": ("Login check", "chk_login"),
            "save_my_empwd": ("E-mail and password saved", "save_my_empwd"),
        }

    @property
    def fixtures(self):
        return self.state.fixtures

    def handle(self, request):
        path = request.path
        if path.startswith(SCRIPT_DIR):
            script = self.scripts.get(path[len(SCRIPT_DIR) :])
            if script is None:
                return not_found(request)
            override = self.state.scenarios.take_content(("reply",), path)
            if override is not None:
                return self.verbatim(override, script[0])
            return script[1](request)
        reply = self.site_page(request)
        if reply is None:
            return not_found(request)
        override = self.state.scenarios.take_content(("reply",), path)
        return self.verbatim(override, reply.endpoint) if override is not None else reply

    @staticmethod
    def verbatim(scenario, endpoint):
        params = scenario.params
        status = int(float(params.get("status", "200")))
        return text_reply(params.get("text", ""), endpoint, status, params.get("ctype", HTML_UTF8))

    def overridden(self, name, endpoint):
        text = self.fixtures.overrides.get(name)
        return None if text is None else text_reply(text, endpoint)

    # Server scripts

    def verify(self, request):
        scenario = self.state.scenarios.take_content(("reject", "accept"), request.path)
        if scenario is not None and scenario.name == "reject":
            return text_reply(scenario.params.get("reply", "0"), "verify")
        if scenario is not None:
            return text_reply(scenario.params.get("reply", self.fixtures.verify_success_reply()), "verify")
        reply = self.overridden("verify_reply", "verify")
        if reply is not None:
            return reply
        outcome = self.fixtures.check_credentials(request.param("t"), request.param("m"))
        if outcome == "accepted":
            return text_reply(self.fixtures.verify_success_reply(), "verify")
        return text_reply("0" if outcome == "wrong_password" else "2", "verify")

    def install_stats(self, request):
        return self.overridden("stats_reply", "install_stats") or text_reply("1", "install_stats")

    def password_change(self, request):
        scenario = self.state.scenarios.take_content(("password_changed",), request.path)
        if scenario is None:
            return self.overridden("pwd_reply", "pwd_change") or text_reply("0", "pwd_change")
        params = scenario.params
        password = params.get("password")
        digest = params.get("digest") or password_digest(password if password is not None else "changed123")
        email = request.param("t")
        new_email = params.get("new_email") or email
        form = params.get("form", "1")
        # The change was made on the site: the account now has the new values, so the client's next
        # verification with them is accepted.
        if email and email.lower() in self.fixtures.accounts:
            self.fixtures.remove_account(email)
            self.fixtures.set_account(new_email if form == "2" else email, password, digest)
        if form == "2":
            return text_reply("2|%s|%s" % (digest, new_email), "pwd_change")
        return text_reply("1|%s" % digest, "pwd_change")

    def notice(self, request):
        scenario = self.state.scenarios.take_content(("notice",), request.path)
        if scenario is not None:
            return text_reply("1|notice|" + scenario.params.get("text", DEFAULT_NOTICE), "notice")
        reply = self.overridden("notice_reply", "notice")
        if reply is not None:
            return reply
        if self.fixtures.notice:
            return text_reply("1|notice|" + self.fixtures.notice, "notice")
        return text_reply("0", "notice")

    def version(self, request):
        scenario = self.state.scenarios.take_content(("new_version",), request.path)
        if scenario is not None:
            return text_reply(scenario.params.get("version", "1.2.00") + "|Quillbury toolbar", "version")
        reply = self.overridden("version_reply", "version")
        return reply or text_reply(self.fixtures.version + "|Quillbury toolbar", "version")

    def shop_list(self, request):
        text = self.fixtures.overrides.get("merchant_reply")
        body = text.encode("cp1252", errors="replace") if text is not None else self.fixtures.shop_list_bytes()
        return Reply(body, 200, "text/plain", "shop_list")

    def offers(self, request):
        reply = self.overridden("offers_reply", "offers")
        if reply is not None:
            return reply
        records = self.fixtures.offers_text(request.param("i"))
        return text_reply("<html><head><title>Offers</title></head><body>%s</body></html>" % records, "offers")

    def vouchers(self, request):
        reply = self.overridden("vouchers_reply", "vouchers")
        if reply is not None:
            return reply
        records = self.fixtures.vouchers_text(request.param("i"))
        return text_reply("<html><head><title>Vouchers</title></head><body>%s</body></html>" % records, "vouchers")

    def link_page(self, request):
        """tb.php (signed in) and go/ (signed out): the redirect, offer, voucher and account links."""
        if request.has("i"):
            kind, title = "redirect", "Redirect to shop"
        elif request.has("off"):
            kind, title = "offer", "Redirect to offer"
        elif request.has("vou"):
            kind, title = "voucher", "Redirect to voucher"
        else:
            kind, title = "account", "My account"
        extra = {"kind": kind, "signed_in_form": request.path.startswith(SCRIPT_DIR)}
        shop = self.fixtures.shop_by_id(request.param("i")) if kind == "redirect" else None
        if shop is not None:
            extra["shop"] = shop.name
        return render_page(title, request, kind, extra)

    # Site pages

    def site_page(self, request):
        path = request.path
        if path == "/go/" or path == "/go":
            return self.link_page(request)
        host = request.hostname
        shop = self.fixtures.shop_for_host(host)
        if shop is not None:
            extra = {"shop": shop.name, "shop_id": shop.shop_id}
            return render_page(shop.name, request, "shop", extra, site="")
        if any(host == h or host.endswith("." + h) for h in SOCIAL_HOSTS):
            return render_page("Quillbury on " + host, request, "social")
        if path.startswith("/search/"):
            text = path[len("/search/") :]
            typed = decode_component(text, plus_is_space=False)
            for ending in ("\\", "/"):
                if typed.endswith(ending):
                    typed = typed[: -len(ending)]
                    break
            return render_page("Search", request, "search", {"search": typed})
        page = self.pages.get(path.strip("/"))
        if page is None:
            return None
        return render_page(page[0], request, page[1])
