// The host name of a page address, as the page handling looks it up in the shop list. Portable.
//
// The address is split the way a generic URL parser splits it:
//   scheme ":" "//" [user [":" password] "@"] host [":" port] [path] [extra]
// with these limits, counted in code units: scheme 1 to 32, user and password at most 128 each, host at
// most 256, path at most 2048, extra (from the first "?" or "#") at most 2048. The host ends at ":", "/",
// "?" or the end of the address; a "#" before any of them is part of the host, as the parser we follow
// has it. The port is at most five decimal digits, and may be empty.
//
// What cannot be split (the caller then uses the whole address in the host's place):
//  - an address without a scheme ("www.shop.com/x", "/path", "shop.com:8080/x" whose "scheme" is not
//    followed by "//");
//  - an address whose scheme is not followed by "//": "about:blank", "javascript:...", "mailto:a@b.c" and
//    "news:group" name no host;
//  - a part longer than its limit, a port that is not a number, or an empty host.
// The recognised schemes ("ftp", "gopher", "http", "https", "file", "news", "mailto", "socks", in any
// letter case) are split like any other; recognition matters only for "file", whose host may be empty
// ("file:///C:/page.htm" gives an empty host, not a failure).
#pragma once

#include <optional>
#include <string>

// The host exactly as written (no lower-casing, no decoding); nullopt when the address cannot be split.
[[nodiscard]] std::optional<std::wstring> HostFromUrl(const std::wstring& url);
