#pragma once
// The BIOS serial number through WMI ("SELECT * from Win32_BIOS", property "SerialNumber").
// COM is initialised for the calling thread for the duration of the call.
#include <string>

class WmiBiosSerial {
public:
    // Empty when any step fails (each failing step logged by name).
    static std::wstring Read();
};
