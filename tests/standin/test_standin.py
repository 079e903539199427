"""Self-test of the stand-in service (tools/standin): endpoints, the request log, proxy-form requests,
scenarios and the control API, exact test bodies, and the with_standin wrapper."""

import hashlib
import http.client
import json
import os
import socket
import subprocess
import sys
import tempfile
import unittest
from urllib.parse import quote

TOOLS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools", "standin")
sys.path.insert(0, TOOLS)

from standin import StandIn  # noqa: E402

SERVICE = "http://www.quillbury.co.uk"
NONCE = "0123456789abcdef0123456789abcdef"


def verify_path(email, digest, script="cashback_verify.php"):
    return "/k3tq8w2m/%s?y=%s&t=%s&m=%s&d=%s&f=%s&PID=QLBY" % (script, NONCE, email, digest, NONCE, NONCE)


class StandInTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.TemporaryDirectory()
        cls.log_path = os.path.join(cls.folder.name, "requests.jsonl")
        cls.standin = StandIn(log_path=cls.log_path, shops=50, accounts={"extra@example.com": "extra"})
        cls.port = cls.standin.start()

    @classmethod
    def tearDownClass(cls):
        cls.standin.stop()
        cls.folder.cleanup()

    def setUp(self):
        self.get("/__standin/reset?log=1")

    def connection(self):
        return http.client.HTTPConnection("127.0.0.1", self.port, timeout=10)

    def get(self, path, proxy=True, connection=None):
        """(status, headers, body) of a GET; through the proxy form by default (absolute target)."""
        own = connection is None
        connection = connection or self.connection()
        try:
            connection.request("GET", SERVICE + path if proxy else path)
            response = connection.getresponse()
            return response.status, response.headers, response.read()
        finally:
            if own:
                connection.close()

    def text(self, path, **options):
        return self.get(path, **options)[2].decode("utf-8")

    def log(self, query=""):
        return json.loads(self.text("/__standin/log" + query))

    def test_service_replies(self):
        digest = hashlib.md5(b"cashback").hexdigest()
        pound_digest = hashlib.md5("\u00a3ecret".encode("cp1252")).hexdigest()
        cases = [
            ("/k3tq8w2m/check_version.php?PID=QLBY", "1.1.05|Quillbury toolbar"),
            (verify_path("demo@example.com", digest), "1|12.50&pound;|&euro;3.00|7"),
            (verify_path("Demo@Example.com", digest), "1|12.50&pound;|&euro;3.00|7"),
            (verify_path("pound@example.com", pound_digest), "1|12.50&pound;|&euro;3.00|7"),
            (verify_path("extra@example.com", hashlib.md5(b"extra").hexdigest()), "1|12.50&pound;|&euro;3.00|7"),
            (verify_path("demo@example.com", digest.upper()), "0"),
            (verify_path("nobody@example.com", digest), "2"),
            (verify_path("demo@example.com", digest, "pwd_change_verify.php"), "0"),
            (verify_path("demo@example.com", digest, "check_notice.php"), "0"),
            ("/k3tq8w2m/install_stats.php?y=1&t=demo@example.com&f={6A0C3B55-1D47-4E92-B8F3-2C95D0E1A774}&PID=QLBY",
             "1"),
        ]
        for path, expected in cases:
            with self.subTest(path=path):
                self.assertEqual(self.text(path), expected)

    def test_shop_list_offers_and_vouchers(self):
        shops = self.text("/k3tq8w2m/get_merchant.php?PID=QLBY")
        self.assertTrue(shops.startswith("http://www.shop.example/|1000<br>www.gadget.example|1001<br>"))
        self.assertEqual(shops.count("<br>"), 50)
        self.assertTrue(shops.endswith("<br>"))
        query = "?y=dummy&t=dummy&m=dummy&i=1000&f=dummy&PID=QLBY"
        offers = self.text("/k3tq8w2m/get_offer.php" + query)
        self.assertIn("<body>Up to 8% cashback on everything|5001<br>"
                      "Save &pound;10 when you spend &pound;50|5002<br>", offers)
        vouchers = self.text("/k3tq8w2m/get_voucher.php" + query)
        self.assertIn("Code with pipes|9003|A|B|C<br>", vouchers)
        self.assertIn("|9004|<script>alert(1)</script><br>", vouchers)
        self.assertEqual(self.text("/k3tq8w2m/get_offer.php" + query.replace("1000", "1001")),
                         "<html><head><title>Offers</title></head><body></body></html>")

    def test_log_records_proxy_and_origin_requests_in_order(self):
        path = verify_path("a+b%40example.com", "d1")
        self.get(path)
        self.get(path, proxy=False)
        connection = self.connection()
        connection.request("GET", "http://www.quillbury.co.uk:80" + path)  # as Wine's WinHTTP writes it
        connection.getresponse().read()
        connection.close()
        entries = self.log()
        self.assertEqual(len(entries), 3)
        proxied, direct, with_port = entries
        self.assertEqual(with_port["url"], proxied["url"])
        self.assertEqual(with_port["target"], "http://www.quillbury.co.uk:80" + path)
        self.assertEqual(proxied["target"], SERVICE + path)
        self.assertEqual(proxied["url"], SERVICE + path)
        self.assertEqual(proxied["host"], "www.quillbury.co.uk")
        self.assertEqual(proxied["path"], "/k3tq8w2m/cashback_verify.php")
        self.assertEqual([k for k, _ in proxied["params"]], ["y", "t", "m", "d", "f", "PID"])
        self.assertEqual(proxied["params"][1], ["t", "a b@example.com"])
        self.assertEqual(proxied["raw_params"][1], ["t", "a+b%40example.com"])
        self.assertIn(["Host", "www.quillbury.co.uk"], proxied["headers"])
        self.assertEqual(direct["target"], path)
        self.assertEqual(direct["host"], "127.0.0.1:%d" % self.port)
        self.assertEqual(direct["query"], proxied["query"])
        with open(self.log_path) as f:
            on_disk = [json.loads(line) for line in f]
        self.assertEqual(on_disk[-1]["seq"], with_port["seq"] + 1)  # the log request itself, flushed at once
        self.assertTrue(on_disk[-1]["control"])

    def test_scenarios_switch_at_run_time(self):
        version = "/k3tq8w2m/check_version.php?PID=QLBY"
        self.get("/__standin/scenario?set=new_version&version=1.2.07&times=1")
        self.get("/__standin/scenario?set=slow&seconds=0.01&times=1")
        self.assertEqual(self.text(version), "1.2.07|Quillbury toolbar")
        self.assertEqual(self.text(version), "1.1.05|Quillbury toolbar")  # used up
        self.assertEqual([e["scenarios"] for e in self.log()], [["new_version", "slow"], []])

        self.get("/__standin/scenario?set=drop&path=check_version.php")
        with self.assertRaises((http.client.RemoteDisconnected, ConnectionError)):
            self.get(version)
        self.assertEqual(self.get("/k3tq8w2m/get_merchant.php?PID=QLBY")[0], 200)  # other paths untouched
        self.get("/__standin/scenario?clear=drop")

        self.get("/__standin/scenario?set=error&code=500&path=check_version.php")
        status, _, body = self.get(version)
        self.assertEqual(status, 500)
        self.assertIn(b"</html>", body)
        self.get("/__standin/scenario?clear=all")

        self.get("/__standin/scenario?set=htmlcut&path=get_offer.php")
        body = self.text("/k3tq8w2m/get_offer.php?i=1000")
        self.assertIn("<html>", body)
        self.assertNotIn("</html>", body)

        reply = quote("1|x|notice | with | pipes")
        self.get("/__standin/scenario?set=reply&path=check_notice.php&text=" + reply)
        self.assertEqual(self.text("/k3tq8w2m/check_notice.php?y=1"), "1|x|notice | with | pipes")
        status, _, body = self.get("/__standin/scenario?set=nonsense")
        self.assertEqual(status, 400)

    def test_password_change_updates_the_account(self):
        old = hashlib.md5(b"cashback").hexdigest()
        new = hashlib.md5(b"n3w").hexdigest()
        self.get("/__standin/scenario?set=password_changed&form=2&password=n3w&new_email=new@example.com")
        self.assertEqual(self.text(verify_path("demo@example.com", old, "pwd_change_verify.php")),
                         "2|%s|new@example.com" % new)
        self.assertEqual(self.text(verify_path("new@example.com", new)), "1|12.50&pound;|&euro;3.00|7")
        self.assertEqual(self.text(verify_path("demo@example.com", old)), "2")

    def test_fixture_changes(self):
        self.get("/__standin/fixture?version=2.0.00&verify_reply=" + quote("1|1.00&pound;") + "&shops=5")
        self.assertEqual(self.text("/k3tq8w2m/check_version.php?PID=QLBY"), "2.0.00|Quillbury toolbar")
        self.assertEqual(self.text(verify_path("x", "y")), "1|1.00&pound;")
        self.assertEqual(self.text("/k3tq8w2m/get_merchant.php?PID=QLBY").count("<br>"), 5)
        self.get("/__standin/reset")
        self.assertEqual(self.text(verify_path("x", "y")), "2")

    def test_exact_test_bodies_and_counts(self):
        connection = self.connection()  # one keep-alive connection for all of them
        try:
            status, headers, body = self.get("/__test/body?size=10240", connection=connection)
            self.assertEqual((status, len(body), headers["Content-Length"]), (200, 10240, "10240"))
            self.assertEqual(headers["Content-Type"], "text/html")
            _, headers, body = self.get("/__test/body?size=64&fill=zero&charset=UTF-8", connection=connection)
            self.assertEqual((len(body), body.count(b"\0"), body.index(b"\0")), (64, 1, 32))
            self.assertEqual(headers["Content-Type"], "text/html; charset=UTF-8")
            _, _, body = self.get("/__test/body?size=40&fill=html", connection=connection)
            self.assertEqual((len(body), body[:6], body[-7:]), (40, b"<html>", b"</html>"))
            status, _, body = self.get("/__test/body?text=%C2%A3&encode=cp1252&status=404", connection=connection)
            self.assertEqual((status, body), (404, b"\xa3"))
            _, headers, body = self.get("/__test/body?size=3000&chunked=1", connection=connection)
            self.assertEqual((headers["Transfer-Encoding"], len(body)), ("chunked", 3000))
        finally:
            connection.close()
        retry = "/__test/body?size=10&drop_first=1"
        with self.assertRaises((http.client.RemoteDisconnected, ConnectionError)):
            self.get(retry)
        self.assertEqual(self.get(retry)[2], b"a" * 10)
        self.assertEqual(self.log("?path=__test")[-1]["count"], 2)
        self.assertEqual(json.loads(self.text("/__standin/counts"))[SERVICE + retry], 2)

    def test_huge_body_is_streamed(self):
        self.get("/__standin/scenario?set=huge&size=5000000&path=check_version.php")
        status, headers, body = self.get("/k3tq8w2m/check_version.php?PID=QLBY")
        self.assertEqual((status, headers["Content-Length"], len(body)), (200, "5000000", 5000000))

    def test_garbage_is_not_http(self):
        self.get("/__standin/scenario?set=garbage&size=100")
        with socket.create_connection(("127.0.0.1", self.port), timeout=5) as raw:
            raw.sendall(b"GET http://www.quillbury.co.uk/k3tq8w2m/check_version.php HTTP/1.1\r\nHost: x\r\n\r\n")
            received = b""
            while chunk := raw.recv(4096):
                received += chunk
        self.assertEqual(len(received), 100)
        self.assertFalse(received.startswith(b"HTTP/"))

    def test_site_pages_echo_the_request(self):
        status, _, body = self.get("/go/?y=N&t=&m=&i=1000&f=N&curr_url=http%3a%2f%2fwww.shop.example%2f")
        page = body.decode()
        self.assertEqual(status, 200)
        self.assertIn('data-page="redirect"', page)
        self.assertIn("<td>curr_url</td><td>http://www.shop.example/</td>", page)
        self.assertEqual(self.get("/hot_deals/")[0], 200)
        self.assertEqual(self.get("/no/such/page")[0], 404)
        self.assertEqual(self.get("/k3tq8w2m/nothing.php")[0], 404)


class WrapperTest(unittest.TestCase):
    def test_runs_command_with_proxy_and_passes_exit_code(self):
        script = (
            "import os, sys, urllib.request\n"
            "assert 'no_proxy' not in os.environ\n"
            "body = urllib.request.urlopen('http://www.quillbury.co.uk/k3tq8w2m/check_version.php?PID=QLBY').read()\n"
            "assert body == b'1.2.00|Quillbury toolbar', body\n"
            "assert os.environ['http_proxy'].endswith(os.environ['QB_STANDIN_PORT'])\n"
            "assert os.path.getsize(os.environ['QB_STANDIN_LOG']) > 0\n"
            "sys.exit(7)\n"
        )
        environment = dict(os.environ, no_proxy="*")
        result = subprocess.run(
            [sys.executable, os.path.join(TOOLS, "with_standin.py"), "--scenario", "new_version", "--",
             sys.executable, "-c", script],
            env=environment, capture_output=True, text=True, timeout=30,
        )
        self.assertEqual(result.returncode, 7, result.stderr)
        self.assertIn("request log kept at", result.stderr)
        log_path = result.stderr.split("request log kept at ")[1].strip()
        with open(log_path) as f:
            self.assertEqual(json.loads(f.readline())["endpoint"], "version")
        os.remove(log_path)
        os.rmdir(os.path.dirname(log_path))


if __name__ == "__main__":
    unittest.main()
