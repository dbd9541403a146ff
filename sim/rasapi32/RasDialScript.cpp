#include "RasDialScript.h"

namespace {
const DWORD kDefaultStepMs = 20;
const DWORD kDefaultHangUpDelayMs = 100;
}  // namespace

RasDialScript RasDialScript::From(const RasScenario &scenario)
{
    RasDialScript script;
    script.dwStepMs = scenario.Number(L"dial_step_ms", kDefaultStepMs);
    script.dwFailState = scenario.Number(L"dial_fail_state", RASCS_OpenPort);
    script.dwFailError = scenario.Number(L"dial_fail_error", 0);
    script.dwConnectAfterMs = scenario.Number(L"connect_after_ms", 0);
    script.dwDropAfterMs = scenario.Number(L"drop_after_ms", 0);
    script.bNeverFinish = scenario.Number(L"dial_never_finish", 0) != 0;
    script.dwHangUpDelayMs = scenario.Number(L"hang_up_delay_ms", kDefaultHangUpDelayMs);
    script.bHangUpNever = scenario.Number(L"hang_up_never", 0) != 0;
    return script;
}
