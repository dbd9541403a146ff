#pragma once
// The registry view of the product's keys. The product was designed as a 32-bit program and its
// installer writes the 32-bit view; the 64-bit build asks for that view explicitly so that both
// builds read and write the same keys. On 32-bit Windows the flag is ignored.
#include <windows.h>
#include <string>

class RegistryView {
public:
    // Added to the access mask of every open or create of a product key.
    static constexpr REGSAM PRODUCT_VIEW = KEY_WOW64_32KEY;

    // Deletes an empty key of the product view; the system error code (0 on success).
    // RegDeleteKeyEx is resolved at run time: 32-bit Windows XP lacks it and has only one view.
    static LONG DeleteKey(HKEY hRoot, const std::wstring &strSubKey);
};
