#pragma once
// A terminal profile in a folder of its own, a device whose identifiers the test chooses, and the
// seams that hand both to a certification. The device values are those of
// TerminalCertificationTest, computed apart from the product with Python's hashlib.
#include "CertificationSeams.h"
#include "ProfileTestHelp.h"
#include "TestFiles.h"
#include "WinOSInformation.h"
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <utility>
#include <vector>

extern const wchar_t kGivenPassword[];
extern const wchar_t kPasswordFromGiven[];

struct ChosenDeviceValues {
    std::wstring strSid = L"S-1-5-21-1004336348-1177238915-682003330";
    std::wstring strBios = L"VMW-4217-ABCD";
    std::wstring strVolume = L"5e7c0a13";
};

class ChosenDeviceInfo : public WinOSInformation {
public:
    ChosenDeviceInfo(const ChosenDeviceValues &values, const std::wstring &strAppData)
        : m_values(values), m_strAppData(strAppData) {}
    std::wstring GetComputerSID() override { return m_values.strSid; }
    std::wstring GetBIOSSerialNo() override { return m_values.strBios; }
    std::wstring GetVolumeSerialNo() override { return m_values.strVolume; }
    std::wstring GetAppDataFolderPath(HANDLE) override { return m_strAppData; }

private:
    ChosenDeviceValues m_values;
    std::wstring m_strAppData;
};

class CertificationFixture : public ::testing::Test {
protected:
    typedef std::vector<std::pair<std::wstring, std::wstring>> ElementValues;

    // No profile file in the folder.
    bool LoadNothing();
    bool LoadSample() { return LoadFirstService({}); }
    // The sample with the first occurrence of each element's value replaced (the first connection
    // service's, for the service values).
    bool LoadFirstService(const ElementValues &values);
    CertificationSeams Seams();

    TestFolder m_folder;
    TestFolder m_appData;
    ChosenDeviceValues m_device;
    std::unique_ptr<TerminalProfile> m_pProfile;
};
