// Scenarios against the registered DLL: a user in the test browser host (tools/testhost/Scenario.h) and the
// stand-in service, with commands that set the stage and say what must follow. Each scenario starts with no
// account, no data files, the stand-in as it starts, and a shared block whose workers are done and whose notice
// was shown (nothing starts or shows unless the scenario says so). It fails unless, at its end, every worker has
// ended, no window is left open, nothing unexpected reached the event log and the library unloads.
//
// Stage:  set ini|reg|shared NAME=VALUE...  (md5(TEXT): its password digest; weekday(N): N days from today)
//         file NAME BYTES|age=HOURS|age=month   service CONTROL-PATH (the stand-in's)   start main|notice
// Tab:    open [band], close, site-again, band off|on, key enter|tab|shift-tab|f6, navigate-result HEX, frame URL,
//         moved URL LOCATION, tick, command ID, type-search TEXT, answer CAPTION ok|yes|no|cancel [TEXT],
//         press CAPTION ID|close, double-click-logo, and the runner's commands (visit, click-button, drop-down, ...)
// Follow: expect ini|reg|shared|tab NAME=PATTERN...  (tab: page, buttonN, focus, selection, sinks,
//         masked, agents)   wait-for (the same, within 20 s)   expect-file NAME BYTES|served|none
//         expect-no-tmp   expect-requests PATTERN...   expect-navigations PATTERN...   expect-menu ITEM...
//         expect-popup shop|voucher|none [in|out SHOP-ID]   wait-request PATTERN   wait-idle
//         resources mark|back   expect-held   child TEST
// A PATTERN matches exactly but for "*" (any text) and "{name}" (any text, the same wherever the name is used
// again); a request pattern without a scheme is below the service's script folder. See ScenarioTest.cpp.
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
