#include "ChangeListSetting.h"
#include "Log.h"
#include "XMLParser.h"
#include <memory>

namespace {
const wchar_t kMapName[] = L"ChangeListSetting";
// Code type of the UTF-8 read (the key KEY_UTF8 selects it; the number is not used then).
const int kUtf8CodeType = 0;
}  // namespace

bool ChangeListSetting::ReadSetting(const std::wstring &strFilePath)
{
    LOG_SCOPE();
    LOGWRITE(LOG_DEBUG, L"[InputInfo] file path is %s", strFilePath.c_str());
    m_vecItems.clear();
    if (strFilePath.empty()) {
        LOGWRITE(LOG_ERROR, L"There is no file path specified");
        return false;
    }
    std::unique_ptr<XMLParser> pParser(new (std::nothrow) XMLParser());
    if (!pParser) {
        LOGWRITE(LOG_ERROR, L"Failed to generate a XMLParser class");
        return false;
    }
    if (pParser->XMLRead(strFilePath, kMapName, XMLParser::KEY_UTF8, kUtf8CodeType) == 0) {
        LOGWRITE(LOG_ERROR, L"ReadSetting() Failed to XML read");
        return false;
    }
    XMLNode directory;
    if (pParser->GetNextNode(nullptr, L"Directory", directory) != XMLParser::NODE_FOUND) {
        LOGWRITE(LOG_ERROR, L"There is no list information");
        pParser->MapClear();
        return false;
    }
    // Items are taken in document order, only those that start before the end of "Directory".
    bool bNamed = false;
    const wchar_t *pFrom = directory.pValue;
    XMLNode item;
    while (pParser->GetNextNode(pFrom, L"Item", item) == XMLParser::NODE_FOUND && item.pStart < directory.pEnd) {
        Item entry;
        entry.strMethod = item.strAttrName;
        entry.strType = item.strAttrValue;
        XMLNode name;
        if (pParser->GetSubNode(item, L"name", name) == XMLParser::NODE_FOUND) {
            entry.strName = name.Value();
            bNamed = bNamed || !entry.strName.empty();
        }
        m_vecItems.push_back(entry);
        pFrom = item.pEnd;
    }
    pParser->MapClear();
    if (m_vecItems.empty()) {
        LOGWRITE(LOG_ERROR, L"There is no list information");
        return false;
    }
    if (!bNamed) {
        LOGWRITE(LOG_ERROR, L"There is no list information.");
        return false;
    }
    LOGWRITE(LOG_DEBUG, L"[OutputInfo] ReadSetting() item count is %d", GetCount());
    return true;
}

const ChangeListSetting::Item *ChangeListSetting::At(int iIndex) const
{
    if (iIndex < 0 || iIndex >= GetCount()) return nullptr;
    return &m_vecItems[(size_t)iIndex];
}

std::wstring ChangeListSetting::GetMethod(int iIndex) const
{
    const Item *pItem = At(iIndex);
    return pItem ? pItem->strMethod : std::wstring();
}

std::wstring ChangeListSetting::GetType(int iIndex) const
{
    const Item *pItem = At(iIndex);
    return pItem ? pItem->strType : std::wstring();
}

std::wstring ChangeListSetting::GetName(int iIndex) const
{
    const Item *pItem = At(iIndex);
    return pItem ? pItem->strName : std::wstring();
}
