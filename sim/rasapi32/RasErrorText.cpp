#include "RasErrorText.h"
#include <raserror.h>

namespace {
struct Text {
    UINT uiError;
    const wchar_t *pszText;
};

const Text kTexts[] = {
    {ERROR_BUFFER_TOO_SMALL, L"The buffer is too small."},
    {ERROR_INVALID_SIZE, L"The structure size is incorrect."},
    {ERROR_CANNOT_FIND_PHONEBOOK_ENTRY, L"The remote access connection entry could not be found."},
    {ERROR_PORT_DISCONNECTED, L"The connection was terminated by the remote computer."},
    {ERROR_NO_DIALTONE, L"There is no dial tone."},
    {ERROR_NO_ANSWER, L"The remote computer did not respond."},
    {ERROR_AUTHENTICATION_FAILURE,
     L"The connection was denied because the user name and/or password you specified is not valid."},
    {ERROR_PPP_NO_PROTOCOLS_CONFIGURED, L"No PPP control protocols were configured."},
    {ERROR_NO_CERTIFICATE, L"No certificate could be found."},
    {ERROR_DIAL_ALREADY_IN_PROGRESS, L"This connection is already being dialed."},
    {ERROR_DEVICE_DOES_NOT_EXIST, L"The specified device does not exist."},
    {ERROR_USER_DISCONNECTION, L"The connection was terminated by the user."},
};

const UINT kFirstRasError = RASBASE;
}  // namespace

bool RasErrorText::Find(UINT uiError, std::wstring &strText)
{
    for (const Text &text : kTexts) {
        if (text.uiError == uiError) {
            strText = text.pszText;
            return true;
        }
    }
    if (uiError < kFirstRasError || uiError > RASBASEEND) return false;
    strText = L"Remote access error " + std::to_wstring(uiError) + L".";
    return true;
}
