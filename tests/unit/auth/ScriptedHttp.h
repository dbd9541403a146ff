#pragma once
// An HTTP connection whose answer the test chooses: a body at once, a failure result, or no
// answer until Cancel. It counts the objects alive (a leak check) and keeps the URLs asked for.
#include "HTTP_Connection.h"
#include "ScopedHandle.h"
#include <windows.h>
#include <atomic>
#include <string>
#include <vector>

struct HttpScript {
    enum Mode { ANSWER, FAIL, HOLD };
    Mode mode = ANSWER;
    std::string strBody;
    long lFailResult = 8552;
    std::vector<std::wstring> vecURLs;   // every URL opened
    std::atomic<long> lAlive{0};
    std::atomic<long> lCreated{0};
};

class ScriptedHttp : public HTTP_Connection {
public:
    explicit ScriptedHttp(HttpScript &script) : m_script(script), m_lStatus(STATUS_IDLE)
    {
        m_hChange.Reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
        ++m_script.lAlive;
        ++m_script.lCreated;
    }
    ~ScriptedHttp() override { --m_script.lAlive; }

    bool URLOpen(HttpRequestInfo *pRequest, const std::wstring &) override
    {
        m_script.vecURLs.push_back(pRequest->strURL);
        if (m_script.mode == HttpScript::HOLD) {
            m_lStatus = STATUS_STARTED;
            return true;
        }
        pRequest->lResult = m_script.mode == HttpScript::FAIL ? m_script.lFailResult : 0;
        pRequest->lHttpStatus = m_script.mode == HttpScript::FAIL ? 500 : 200;
        if (m_script.mode == HttpScript::ANSWER) SetBody(*pRequest);
        m_lStatus = STATUS_IDLE;
        return true;
    }
    void Cancel() override
    {
        m_lStatus = STATUS_CANCELED;
        SetEvent(m_hChange.Get());
    }
    long GetStatus() override { return m_lStatus; }
    long WaitStatusChange() override
    {
        WaitForSingleObject(m_hChange.Get(), kWaitSliceMs);
        return m_lStatus;
    }

private:
    static constexpr DWORD kWaitSliceMs = 100;

    void SetBody(HttpRequestInfo &request)
    {
        const std::string &strBody = m_script.strBody;
        request.hResponseBuffer = LocalAlloc(LMEM_MOVEABLE | LMEM_ZEROINIT, strBody.size() + 1);
        if (!request.hResponseBuffer) return;
        void *pData = LocalLock(request.hResponseBuffer);
        if (pData) memcpy(pData, strBody.data(), strBody.size());
        LocalUnlock(request.hResponseBuffer);
        request.lResponseLength = static_cast<long>(strBody.size());
        request.strResponseText.assign(strBody.begin(), strBody.end());
    }

    HttpScript &m_script;
    std::atomic<long> m_lStatus;
    ScopedHandle m_hChange;
};
