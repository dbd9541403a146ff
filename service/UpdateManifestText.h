#pragma once
// The text of an update's manifest "update.manifest" (UTF-8, lines ended by CR LF):
//
//   NolvexConnect update manifest 1
//   <sha256 hex> <relative path>          one line per file, paths with backslashes
//   signature <hex>                       RSA signature (CryptoAPI byte order) of all bytes above
//
// Composing (the signing tool) and parsing (the service) live together so they cannot drift.
#include <map>
#include <string>

class UpdateManifestText {
public:
    static constexpr const wchar_t *FILE_NAME = L"update.manifest";
    static constexpr const char *HEADER = "NolvexConnect update manifest 1";
    static constexpr const char *SIGNATURE_TAG = "signature ";

    // Upper-cased relative path -> (path as listed, lower-case digest).
    struct Entry {
        std::wstring strPath;
        std::wstring strDigest;
    };
    typedef std::map<std::wstring, Entry> EntryMap;

    // The signed part for these entries: header and file lines.
    static std::string ComposeBody(const EntryMap &entries);
    // The whole file: body and signature line.
    static std::string ComposeFile(const std::string &strBody, const std::string &strSignature);

    // Splits a file into its signed body and signature and reads the entries. false with a reason
    // when the text is not a well-formed manifest (duplicates and bad digests included).
    static bool Parse(const std::string &strFile, std::string &strBody, std::string &strSignature, EntryMap &entries,
                      std::wstring &strReason);

    // The map key of a relative path: upper case, invariant.
    static std::wstring Key(const std::wstring &strPath);
    static std::wstring FromUtf8(const std::string &strText);
    static std::string ToUtf8(const std::wstring &strText);

private:
    static bool ParseLine(const std::string &strLine, EntryMap &entries, std::wstring &strReason);
    static bool IsDigest(const std::string &strText);
    static bool HexToBytes(const std::string &strHex, std::string &strBytes);
    static std::string BytesToHex(const std::string &strBytes);
};
