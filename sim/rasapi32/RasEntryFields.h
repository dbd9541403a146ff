#pragma once
// Every field of an entry record (RASENTRYW) as a named text value, so that an entry file lists
// what the program wrote field by field: numbers in decimal ("dwfOptions" in hexadecimal too),
// addresses as "a.b.c.d", the entry GUID in registry form, texts as they are.
#include <windows.h>
#include <ras.h>
#include "RasKeyValueFile.h"

class RasEntryFields {
public:
    static void ToRecord(const RASENTRYW &entry, RasRecord &record);
    static void FromRecord(const RasRecord &record, RASENTRYW &entry);
};
