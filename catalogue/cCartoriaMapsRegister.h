#pragma once
#include "catalogue/cCartoriaMapItem.h"
#include "sys/cFileSystemObject.h"
#include <memory>
#include <string>
#include <vector>

// The map product's editions: whether one is installed, and each edition's package and search-data settings.
// Construction reads the registry and the installed editions' ini files.
class cCartoriaMapsRegister
{
public:
    using ItemList = std::vector<std::shared_ptr<cCartoriaMapItem>>;

    cCartoriaMapsRegister();

    std::wstring REG_CARTORIA_W2() const { return L"CARTORIAW2"; }
    std::wstring REG_CARTORIA_W3() const { return L"CARTORIAW3"; }
    std::wstring REG_CARTORIA_SV() const { return L"CARTORIASV"; }

    // True when the registry names an ini file for the edition and that file exists.
    bool IsInstall(std::wstring MapCode) const;

    long Count() const { return static_cast<long>(m_items.size()); }
    // The records in list order, for a range-for.
    const ItemList& NewEnum() const { return m_items; }
    ItemList::const_iterator begin() const { return m_items.begin(); }
    ItemList::const_iterator end() const { return m_items.end(); }
    // The record at 1-based position `indexKey`; throws cAppError 9 outside 1 to Count.
    std::shared_ptr<cCartoriaMapItem> Item(long indexKey) const;
    // The record whose key (product id, case ignored) is `indexKey`; throws cAppError 5 when none has it.
    std::shared_ptr<cCartoriaMapItem> Item(const std::wstring& indexKey) const;

protected:
    // Not part of the public surface; protected so that tests can reach them.
    std::shared_ptr<cCartoriaMapItem> AddItem(const std::wstring& code, const std::wstring& title);
    void LoadItem(cCartoriaMapItem& item) const;
    std::wstring GetIniFilePath(const std::wstring& code) const;

private:
    ItemList m_items;
    cFileSystemObject m_fileSystem;
};
