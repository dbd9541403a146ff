#pragma once
// Reader and writer of the product's own small XML dialect: one element per line, lines ended by
// a carriage return alone, blanks for indentation, values written as they are (no escaping, no
// comments, no entities). Reading is a plain text search: the first occurrence in text order wins.
//
// A read decrypts (or converts) the file into a private copy of the text, which every search
// works on, and also publishes the text in a named shared-memory section (map name), copied under
// the mutex map name + "Mutex". Section and mutex only admit the process's own user and
// LocalSystem; the mutex wait is bounded and nothing is logged while it is held. Writing builds
// the document line by line and replaces the file atomically (a complete temporary file in the
// same folder, then one move).
//
// One object is used by one thread at a time; the setting classes that derive from it guard it.
#include "ScopedHandle.h"
#include <windows.h>
#include <string>

// An element found by the searches. The pointers point into the parser's private copy of the
// text and stay valid until the next XMLRead or MapClear.
struct XMLNode {
    const wchar_t *pStart = nullptr;   // the "<" of the opening tag
    const wchar_t *pValue = nullptr;   // the first character after the opening tag
    const wchar_t *pEnd = nullptr;     // the "<" of the closing tag
    std::wstring strAttrName;          // the one attribute of "<Name attr="value">", if any
    std::wstring strAttrValue;

    // The text between the tags.
    std::wstring Value() const;
};

class XMLParser {
public:
    enum NodeResult { NODE_FOUND = 1, NODE_NO_CLOSING_TAG = 2, NODE_NOT_FOUND = 3 };
    // Key of a plain UTF-8 file (no decryption).
    static const wchar_t *const KEY_UTF8;
    // How long a read waits for the section's mutex before it gives up.
    static constexpr DWORD SECTION_MUTEX_WAIT_MS = 5000;
    // Whole attempts of one EndXML, and the pause between them.
    static constexpr int WRITE_ATTEMPTS = 5;
    static constexpr DWORD WRITE_RETRY_PAUSE_MS = 200;

    XMLParser();
    ~XMLParser();
    XMLParser(const XMLParser &) = delete;
    XMLParser &operator=(const XMLParser &) = delete;

    // Reads the file (KEY_UTF8: plain UTF-8; any other key: decoded with that key and code type)
    // and publishes it under the map name. The byte count read, 0 on failure.
    DWORD XMLRead(const std::wstring &strPath, const std::wstring &strMapName, const std::wstring &strKey,
                  int iCodeType);
    // Unmaps and closes the section and forgets the text read.
    void MapClear();
    // Searches the element from pFrom (null: the start of the text): NodeResult.
    int GetNextNode(const wchar_t *pFrom, const std::wstring &strName, XMLNode &node);
    // Searches the element inside the parent's value: NodeResult.
    int GetSubNode(const XMLNode &parent, const std::wstring &strName, XMLNode &node);
    // The private copy of the text last read.
    const std::wstring &GetText() const { return m_strText; }

    // Writer.
    void StartXML();
    // Indentation and "<text>" with a carriage return: declarations, group openings and closings.
    void OutOneLine(const std::wstring &strText, int iIndent);
    // An element line in three steps: indentation and opening tag; value; closing tag.
    void OutStartElement(const std::wstring &strName, int iIndent);
    void OutValue(const std::wstring &strValue);
    void OutEndElement();
    void OutElement(const std::wstring &strName, const std::wstring &strValue, int iIndent);
    const std::wstring &GetDocument() const { return m_strDocument; }
    // Writes the document (encoded with the key and code type of FileIO) over the file, atomically.
    bool EndXML(const std::wstring &strPath, const std::wstring &strKey, int iCodeType);

private:
    bool LoadText(const std::wstring &strPath, const std::wstring &strKey, int iCodeType, DWORD &dwBytes);
    bool PublishText(const std::wstring &strMapName);
    bool CopyIntoSection(const std::wstring &strMapName, SECURITY_ATTRIBUTES *pSecurity);
    int FindOpeningTag(const wchar_t *pFrom, const std::wstring &strName, XMLNode &node);
    bool WriteReplacing(const std::wstring &strPath, const std::wstring &strKey, int iCodeType);
    static std::wstring TempPathFor(const std::wstring &strPath);
    static std::wstring Indent(int iIndent);

    // Fields in the designed order, then the private copy.
    ScopedHandle m_hMapping;
    ScopedMapView m_pView;
    std::wstring m_strLine;
    std::wstring m_strDocument;
    std::wstring m_strClosingTag;
    SIZE_T m_nViewBytes;
    std::wstring m_strText;
};
