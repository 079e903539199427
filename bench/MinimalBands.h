// The two bands of bench_minimal_bands.dll, the floor the toolbar band is measured against: an empty band (one
// empty child window) and a toolbar band with the same common-controls toolbar as ours (19 items, the image
// list of our button bitmaps, an edit box over a separator) and no behaviour at all.
#pragma once

#include <windows.h>

// {7D3A0C51-2B8E-4F16-9E47-5C1A2D3B4E01}
inline constexpr CLSID kEmptyBandClsid = {0x7d3a0c51, 0x2b8e, 0x4f16, {0x9e, 0x47, 0x5c, 0x1a, 0x2d, 0x3b, 0x4e, 0x01}};
// {7D3A0C51-2B8E-4F16-9E47-5C1A2D3B4E02}
inline constexpr CLSID kMinimalToolbarBandClsid = {
    0x7d3a0c51, 0x2b8e, 0x4f16, {0x9e, 0x47, 0x5c, 0x1a, 0x2d, 0x3b, 0x4e, 0x02}};

inline constexpr wchar_t kMinimalBandsDll[] = L"bench_minimal_bands.dll";
