// Scenarios against the registered DLL: a user in the test browser host (tools/testhost/Scenario.h) and the
// stand-in service, with commands that set the stage and say what must follow. Each scenario starts with no
// account, no data files, the stand-in as it starts, and a shared block whose workers are done and whose notice
// was shown (nothing starts or shows unless the scenario says so). It fails unless, at its end, every worker has ended,
// no window is left open, nothing unexpected reached the event log and the library unloads.
//
// Stage:   set ini|reg|shared NAME=VALUE...     md5(TEXT) is TEXT's password digest, weekday(N) the weekday
//                                               N days from today; shared texts: approved, pending, notice
//          file NAME BYTES | file NAME age=HOURS|age=month   data file ("\r", "\n", "\xNN" escapes) or its last
//                                               write time (hours from today noon, or a month ago)
//          service CONTROL-PATH                 the stand-in's control API ("scenario?set=drop&path=...")
//          open [band]  close  hide-band        the tab (helper object, which shows the band), its end
//          site-again                           the tab's helper objects sited once more
//          start main|notice                    a worker run (the test program's own copy of the code)
// User:    the runner's commands, and tick (the toolbar's timer), key enter|tab|shift-tab|f6, command ID
//          (a menu choice), answer CAPTION ok|yes|no|cancel [TEXT], frame URL, moved URL LOCATION,
//          press CAPTION ID|close (a dialog's button or close box, waiting a second at most), navigate-result HRESULT
//          (hex; what the browser's Navigate answers from now on)
// Follow:  expect ini|reg|shared NAME=VALUE...  (VALUE a pattern)   wait-for ini|reg|shared NAME=VALUE...
//          (the same, within 20 s)   expect-file NAME BYTES|served|none   expect-no-tmp
//          expect-agent TEXT  (every service request so far sent this user agent)   child TEST (passes when
//          run in a second process of this program)
//          expect-requests PATTERN...   (the service requests since the last check, exactly, in order)
//          expect-navigations PATTERN...        expect-button ID TEXT    expect-menu ITEM...
//          expect-menu-ids ID...    expect-page PATTERN... (the page's HTML matches each)
//          expect-masked CAPTION ID (the dialog's edit box shows what is typed masked)
//          expect-popup shop|voucher|none [in|out SHOP-ID]   expect-focus search|buttons|content
//          expect-log UNIT LINE    wait-request PATTERN    wait-idle    expect-sinks N (of the tab's events)
//          expect-selection FROM TO (in the search box)
//          resources mark|back (handles and private bytes back where they were)    expect-held (the library may
//                                               go and COM frees it, but a running worker keeps it loaded)
// A PATTERN matches exactly but for "*" (any text) and "{name}" (any text, the same wherever the name is
// used again); a request pattern without a scheme is below the service's script folder.
#pragma once

#include <gtest/gtest.h>
#include <string>
#include <vector>

class ScenarioTest : public testing::Test
{
protected:
    static void SetUpTestSuite();
    void SetUp() override;
    void TearDown() override;
    // Runs the scenario (UTF-8 text); its transcript is printed when it fails.
    void Run(const std::string& script, bool visible = false);
    // Runs the script once for each row, "{1}", "{2}"... replaced by the row's values.
    void RunRows(const std::string& script, const std::vector<std::vector<std::string>>& rows);
};

#define SCENARIO(suite, name, script)                                                                                  \
    TEST_F(suite, name)                                                                                                \
    {                                                                                                                  \
        Run(script);                                                                                                   \
    }
