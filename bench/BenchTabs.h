// The tabs the band benchmark opens and closes in the test browser host: an empty band, the minimal toolbar
// band (both from bench_minimal_bands.dll) and our band with our helper object (Quillbury.dll), each through
// real COM activation of its registered DLL.
#pragma once

#include <windows.h>

#include <string>

#include "host/TestBrowserHost.h"

enum class TabKind
{
    EmptyBand,
    MinimalToolbar,
    Ours,
};

const char* TabKindName(TabKind kind);

// Registers Quillbury.dll and bench_minimal_bands.dll (beside the program) with the prefix's regsvr32;
// false with a message on stderr when either fails.
bool RegisterBenchBands();

// Opens the tab's add-ons the way the browser does: the minimal bands through ShowBrowserBar (class object,
// instance, SetSite, GetBandInfo, layout, ShowDW); ours by creating and siting the helper object, which
// shows our band through ShowBrowserBar. True when a visible band stands in the host.
bool OpenTab(testhost::TestBrowserHost& host, TabKind kind);
// Closes it as the browser closes a tab: Quit (OnQuit, the helper and the band taken off their site and
// released).
void CloseTab(testhost::TestBrowserHost& host);

// Times of the steps of one band opened by hand on a shown host's site, in milliseconds.
struct BandSteps
{
    double classObject = 0;
    double instance = 0;
    double setSite = 0;
    double showDW = 0;
    double close = 0; // SetSite(NULL) and the last Release
    bool ok = false;
};
BandSteps TimeBandSteps(IUnknown* site, REFCLSID clsid);
