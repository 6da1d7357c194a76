#pragma once
#include <string>

// The side-by-side assemblies a DLL's own manifest (its resource 2) names, as the loader resolves them: the
// VC runtime, MFC and ATL of older controls live only there. Resolved with the activation context functions,
// which read the manifest as data and run none of the file's code.
class cSideBySide
{
public:
    enum class eProvided
    {
        ByAssembly, // an assembly of the file's manifest holds `dll`
        NotByAssembly,
    };
    static eProvided Provides(const std::wstring& file, const std::wstring& dll);
};
