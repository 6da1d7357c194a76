#include "security/cDriveTypes.h"

UINT cDriveTypes::Of(const std::wstring& root)
{
    const auto known = m_types.find(root);
    if (known != m_types.end())
        return known->second;
    return m_types[root] = ::GetDriveTypeW(root.c_str());
}

bool cDriveTypes::IsLocal(const std::wstring& path)
{
    return cLocalPath::KindOf(path, [this](const std::wstring& root) { return Of(root); }) ==
           cLocalPath::eKind::Local;
}
