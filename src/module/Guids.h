// The add-on's class identifiers: one constant each, shared by the class objects, the band's
// IPersist::GetClassID and self-registration.
#pragma once

#include <windows.h>

#include <guiddef.h>

// The toolbar band.
inline constexpr GUID kBandClsid = {0x4c8e1f27, 0x93b5, 0x4d0a, {0x8e, 0x61, 0x2f, 0x7a, 0x9c, 0x3b, 0x5d, 0x18}};
// The browser helper object.
inline constexpr GUID kHelperClsid = {0xb2d74e90, 0x1a6c, 0x4f38, {0x9c, 0x25, 0x7e, 0x0f, 0x3a, 0x8b, 0x6d, 0x41}};
