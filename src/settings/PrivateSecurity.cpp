#include "settings/PrivateSecurity.h"

#include <sddl.h>

#include <string>
#include <vector>

namespace
{
std::wstring PrivateLowLabelSddl()
{
    KernelHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.Receive()))
        return {};
    DWORD size = 0;
    GetTokenInformation(token.Get(), TokenUser, nullptr, 0, &size);
    if (size == 0)
        return {};
    std::vector<BYTE> buffer(size);
    if (!GetTokenInformation(token.Get(), TokenUser, buffer.data(), size, &size))
        return {};
    const auto* user = reinterpret_cast<const TOKEN_USER*>(buffer.data());
    LPWSTR sidText = nullptr;
    if (!ConvertSidToStringSidW(user->User.Sid, &sidText))
        return {};
    const LocalMemory owner(sidText);
    return std::wstring(L"D:P(A;;GA;;;") + sidText + L")S:(ML;;NW;;;LW)";
}
} // namespace

LocalMemory PrivateSecurityDescriptor() noexcept
try
{
    const std::wstring sddl = PrivateLowLabelSddl();
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!sddl.empty() &&
        ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &descriptor, nullptr))
        return LocalMemory(descriptor);
    return LocalMemory();
}
catch (...)
{
    return LocalMemory();
}
