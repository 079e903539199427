// HostFromUrl: a scheme of at most 32 in any case, "://", then the host as written, ended by ":", "/", "?" or the end
// and holding none of them, at most 256 long, empty only for "file"; an address of the host alone gives it back.
#include "FuzzInput.h"
#include "browser/HostFromUrl.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::wstring url = Widen(data, size);
    const std::optional<std::wstring> host = HostFromUrl(url);
    const size_t scheme = url.find(L':');
    if (!host)
        return 0;
    std::wstring upper = url;
    for (size_t i = 0; i < scheme; ++i)
        upper[i] = url[i] >= L'a' && url[i] <= L'z' ? static_cast<wchar_t>(url[i] - 0x20) : url[i];
    bool ended = url.ends_with(*host);
    for (const wchar_t* end : {L":", L"/", L"?"})
        ended = ended || url.find(*host + end, scheme + 3) != std::wstring::npos;
    Check(ended && scheme >= 1 && scheme <= 32 && url.compare(scheme, 3, L"://") == 0 && HostFromUrl(upper) == host &&
          host->size() <= 256 && host->find_first_of(L":/?") == std::wstring::npos);
    Check(host->empty() ? upper.starts_with(L"FILE:") : HostFromUrl(L"http://" + *host + L"/") == host);
    return 0;
}
