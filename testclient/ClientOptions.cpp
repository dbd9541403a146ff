#include "ClientOptions.h"
#include "PipeClient.h"

namespace {
struct CommandShape {
    const wchar_t *pszName;
    size_t nMinArgs;
    size_t nMaxArgs;
};

// Positional arguments of each command.
const CommandShape kCommands[] = {
    {L"start", 3, 3},  {L"end", 1, 1},    {L"loglevel", 1, 1}, {L"update", 2, 2}, {L"rollback", 0, 1},
    {L"raw", 1, 1},    {L"hex", 1, 1},    {L"random", 2, 2},   {L"idle", 1, 1},   {L"files", 2, 2},
    {L"quit", 1, 1},   {L"settings", 1, 9}, {L"ini", 1, 1},     {L"osinfo", 0, 0}, {L"ras", 1, 16},
    {L"http", 2, 40},  {L"profile", 1, 3}, {L"proxy", 1, 3}, {L"monitor", 1, 2}, {L"register", 2, 24},
    {L"notify-error", 2, 8}, {L"certify", 3, 16},
};

const CommandShape *FindCommand(const std::wstring &strName)
{
    for (const CommandShape &shape : kCommands) {
        if (strName == shape.pszName) return &shape;
    }
    return nullptr;
}

const DWORD kDefaultTimeoutMs = 5000;
}  // namespace

ClientOptions::ClientOptions()
    : m_strPipeName(PipeClient::kMonitorPipe), m_dwTimeoutMs(kDefaultTimeoutMs), m_startEnd(END_NORMAL),
      m_dwStayMs(INFINITE), m_dwAnnouncedPid(0), m_bMissingFails(false)
{
}

bool ClientOptions::Fail(const std::wstring &strError)
{
    m_strError = strError;
    return false;
}

bool ClientOptions::ParseNumber(const std::wstring &str, DWORD &dwValue)
{
    if (str.empty() || str.size() > 10) return false;
    unsigned long long ullValue = 0;
    for (wchar_t ch : str) {
        if (ch < L'0' || ch > L'9') return false;
        ullValue = ullValue * 10 + static_cast<unsigned long long>(ch - L'0');
    }
    if (ullValue > 0xFFFFFFFFULL) return false;
    dwValue = static_cast<DWORD>(ullValue);
    return true;
}

bool ClientOptions::Parse(int argc, const wchar_t *const *argv)
{
    *this = ClientOptions();   // every parse starts from the defaults
    int i = 1;
    while (i < argc && std::wstring(argv[i]).compare(0, 2, L"--") == 0) {
        if (!ParseGlobalOption(argv[i], i + 1 < argc ? argv[i + 1] : nullptr)) return false;
        i += 2;
    }
    if (i >= argc) return Fail(L"no command given");
    m_strCommand = argv[i++];
    const CommandShape *pShape = FindCommand(m_strCommand);
    if (pShape == nullptr) return Fail(L"unknown command \"" + m_strCommand + L"\"");
    std::vector<std::wstring> vecRest(argv + i, argv + argc);
    // "update module [options]" runs the update exchange; "update PID FOLDER" sends DoUpdate.
    if (m_strCommand == L"update" && !vecRest.empty() && vecRest[0] == L"module") {
        m_vecArgs = vecRest;
        return true;
    }
    size_t nPositional = vecRest.size() < pShape->nMaxArgs ? vecRest.size() : pShape->nMaxArgs;
    m_vecArgs.assign(vecRest.begin(), vecRest.begin() + static_cast<std::ptrdiff_t>(nPositional));
    vecRest.erase(vecRest.begin(), vecRest.begin() + static_cast<std::ptrdiff_t>(nPositional));
    if (m_vecArgs.size() < pShape->nMinArgs) return Fail(m_strCommand + L": missing arguments");
    if (m_strCommand == L"start") return ParseStartOptions(vecRest);
    if (m_strCommand == L"update") return ParseUpdateOptions(vecRest);
    if (!vecRest.empty()) return Fail(m_strCommand + L": unexpected argument \"" + vecRest[0] + L"\"");
    return CheckNumbers();
}

bool ClientOptions::ParseGlobalOption(const std::wstring &strOption, const wchar_t *pszValue)
{
    if (pszValue == nullptr) return Fail(strOption + L" needs a value");
    if (strOption == L"--pipe") {
        m_strPipeName = pszValue;
        return true;
    }
    if (strOption == L"--missing") {
        std::wstring strValue(pszValue);
        if (strValue != L"wait" && strValue != L"fail") return Fail(L"--missing needs wait or fail");
        m_bMissingFails = strValue == L"fail";
        return true;
    }
    if (strOption == L"--timeout") {
        if (!ParseNumber(pszValue, m_dwTimeoutMs)) return Fail(L"--timeout needs milliseconds");
        return true;
    }
    return Fail(L"unknown option " + strOption);
}

bool ClientOptions::ParseStartOptions(const std::vector<std::wstring> &vecRest)
{
    for (size_t i = 0; i < vecRest.size(); ++i) {
        const std::wstring &strOption = vecRest[i];
        if (strOption == L"--normal") {
            m_startEnd = END_NORMAL;
        } else if (strOption == L"--abrupt") {
            m_startEnd = END_ABRUPT;
        } else if (strOption == L"--stay" || strOption == L"--pid") {
            DWORD dwValue = 0;
            if (i + 1 >= vecRest.size() || !ParseNumber(vecRest[i + 1], dwValue))
                return Fail(strOption + L" needs a number");
            ++i;
            if (strOption == L"--pid") m_dwAnnouncedPid = dwValue;
            else if (dwValue > INFINITE / 1000 - 1) return Fail(L"--stay: too many seconds");
            else m_dwStayMs = dwValue * 1000;
        } else {
            return Fail(L"start: unknown option \"" + strOption + L"\"");
        }
    }
    return true;
}

bool ClientOptions::ParseUpdateOptions(const std::vector<std::wstring> &vecRest)
{
    // "--stay SECONDS": the client stays alive that long after sending, as the real client does
    // until it exits for the update.
    if (vecRest.empty()) return true;
    DWORD dwValue = 0;
    if (vecRest.size() != 2 || vecRest[0] != L"--stay" || !ParseNumber(vecRest[1], dwValue))
        return Fail(L"update: only --stay SECONDS may follow");
    if (dwValue > INFINITE / 1000 - 1) return Fail(L"--stay: too many seconds");
    m_dwStayMs = dwValue * 1000;
    return true;
}

bool ClientOptions::CheckNumbers()
{
    // Numeric arguments are checked here so that a typing error never sends a message.
    DWORD dwIgnored = 0;
    if (m_strCommand == L"random" && (!ParseNumber(m_vecArgs[0], dwIgnored) || !ParseNumber(m_vecArgs[1], dwIgnored)))
        return Fail(L"random: count and seed must be numbers");
    if ((m_strCommand == L"idle" || m_strCommand == L"quit") && !ParseNumber(m_vecArgs[0], dwIgnored))
        return Fail(m_strCommand + L": a number is needed");
    return true;
}

std::wstring ClientOptions::Usage()
{
    return L"usage: NolvexConnect [--pipe NAME] [--timeout MS] [--missing wait|fail] <command> ...\n"
           L"  start <userFolder> <language> <logLevel> [--normal|--abrupt] [--stay SECONDS] [--pid PID]\n"
           L"  end <userFolder>\n"
           L"  loglevel <level>\n"
           L"  update <pid|self> <updateFolder> [--stay SECONDS]\n"
           L"  update module [--existed] [--answer LIST|hang] [--answer-timeout MS] [--cancel-after MS]\n"
           L"  register INDEX PASSWORD [--retry] [--then-retry] [--flags N] [--access N] [--answer LIST|hang]\n"
           L"           [--answer-timeout MS] [--cancel-after MS] [--kill-at-step N]\n"
           L"  notify-error INDEX PASSWORD [--cancel-after MS]\n"
           L"  certify INDEX ID PASSWORD [--onetime PW | --pattern PATTERN | --profile-password] [--report]\n"
           L"          [--connect-error] [--bios-serial TEXT] [--cancel-after MS] [--log-level N]\n"
           L"  rollback [text]\n"
           L"  raw <text>\n"
           L"  hex <hexbytes>\n"
           L"  random <count> <seed>\n"
           L"  idle <seconds>\n"
           L"  files <userFolder> <sourceFolder>\n"
           L"  quit <pid>\n"
           L"  settings show | settings set KEY=VALUE...\n"
           L"  ini show\n"
           L"  osinfo\n"
           L"  ras entry|dial|status|hangup|list [key=value ...]\n"
           L"  http METHOD URL [--data TEXT] [--folder DIR] [--cancel-after MS] [--proxy default|none]\n"
           L"       [--user U --password P] [--proxy-user U --proxy-password P] [--wait MS] [--repeat N]\n"
           L"       [--pause-at N] [--body 0|1] [--log-level 0|1] [--leak-bytes N] [--leak-thread 1]\n"
           L"  profile show [PATH] | profile store SOURCE [PATH]\n"
           L"  proxy show [entry] | proxy save ID [entry] | proxy apply FILE [entry]\n"
           L"  monitor running | monitor notify MESSAGE | monitor update FOLDER";
}
