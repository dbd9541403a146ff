#pragma once
// The check that a staged update is the product's own: its manifest is signed with the update
// key and lists exactly the staged files (every one, no other, each with its SHA-256).
#include "UpdateManifestText.h"
#include "UpdateSignature.h"
#include <string>

class UpdateManifest {
public:
    explicit UpdateManifest(const UpdateSignature &signature) : m_signature(signature) {}

    // true when the folder's manifest verifies; false with a reason for the log otherwise.
    // pVerified (may be null) receives the files the manifest lists, once they verified.
    bool Verify(const std::wstring &strFolder, std::wstring &strReason,
                UpdateManifestText::EntryMap *pVerified = nullptr) const;

private:
    static bool ReadWhole(const std::wstring &strPath, std::string &strBytes, std::wstring &strReason);
    static bool SameFiles(const UpdateManifestText::EntryMap &listed, const UpdateManifestText::EntryMap &found,
                          std::wstring &strReason);

    UpdateSignature m_signature;
};
