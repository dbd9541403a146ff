#pragma once
// What the scenario says about one dial, taken when RasDial is called.
#include <windows.h>
#include <ras.h>
#include "RasScenario.h"

struct RasDialScript {
    DWORD dwStepMs;           // "dial_step_ms" (20): pause between two states
    DWORD dwFailState;        // "dial_fail_state": the state (RASCONNSTATE value) at which the dial fails
    DWORD dwFailError;        // "dial_fail_error" (0: no failure)
    DWORD dwConnectAfterMs;   // "connect_after_ms": the last step before RASCS_Connected takes this long
    DWORD dwDropAfterMs;      // "drop_after_ms": the link drops this long after it connected (0: never)
    bool bNeverFinish;        // "dial_never_finish=1": the dial stops in RASCS_Authenticate, for ever
    DWORD dwHangUpDelayMs;    // "hang_up_delay_ms" (100): a hung-up connection disappears this much later
    bool bHangUpNever;        // "hang_up_never=1": a hang-up never completes

    static RasDialScript From(const RasScenario &scenario);
};
