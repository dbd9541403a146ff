#pragma once
// The texts of RasGetErrorString: Windows' own for the codes the product meets most, a generic
// text for the rest of the RAS range (600 to RASBASEEND); other codes have none.
#include <windows.h>
#include <string>

class RasErrorText {
public:
    // False when the code has no RAS text.
    static bool Find(UINT uiError, std::wstring &strText);
};
