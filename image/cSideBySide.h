#pragma once
#include "sys/cOwned.h"
#include <string>
#include <string_view>
#include <vector>

// The activation context a DLL's own manifest (its resource 2) makes, as the loader makes it before it
// resolves the DLL's static imports: the VC runtime, MFC and ATL of older controls live only in the
// assemblies it names. Made with the activation context functions, which read the manifest as data and run
// none of the file's code.
class cSideBySide
{
public:
    enum class eContext
    {
        Made,
        NoManifest, // the file has no resource 2: its imports resolve in its loader's context
        Refused,    // a side-by-side error (ERROR_SXS_*): an assembly it names is not installed, or the
                    // manifest is malformed; the loader refuses the DLL the same way
        Failed,     // the file could not be read for it
    };
    explicit cSideBySide(const std::wstring& file);
    eContext State() const noexcept { return m_state; }
    DWORD Error() const noexcept { return m_error; }

    enum class eProvided
    {
        ByAssembly, // an assembly of the context holds `dll`
        NotByAssembly,
    };
    eProvided Provides(const std::wstring& dll) const;

    // The names of the assemblies a manifest depends on (each dependentAssembly's assemblyIdentity), read as
    // text and shown safely: what a refused context is said to lack.
    static std::vector<std::string> Dependencies(std::string_view manifest);

private:
    cOwned<ActCtxTraits> m_context;
    eContext m_state = eContext::NoManifest;
    DWORD m_error = ERROR_SUCCESS;
};
