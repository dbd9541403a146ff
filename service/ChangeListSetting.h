#pragma once
// The change list "changelist.xml" of a difference folder: "Item" elements inside "Directory",
// each with one attribute (name = method, value = type) and a child "name" (the relative path).
#include <string>
#include <vector>

class ChangeListSetting {
public:
    ChangeListSetting() = default;
    ChangeListSetting(const ChangeListSetting &) = delete;
    ChangeListSetting &operator=(const ChangeListSetting &) = delete;

    // Reads the file (UTF-8, shared section "ChangeListSetting"): true when at least one item
    // carries a name. Items of an earlier read are dropped first.
    bool ReadSetting(const std::wstring &strFilePath);

    int GetCount() const { return (int)m_vecItems.size(); }
    // Empty text for an index out of range.
    std::wstring GetMethod(int iIndex) const;
    std::wstring GetType(int iIndex) const;
    std::wstring GetName(int iIndex) const;

private:
    struct Item {
        std::wstring strMethod;
        std::wstring strType;
        std::wstring strName;
    };
    const Item *At(int iIndex) const;

    std::vector<Item> m_vecItems;
};
