#include "image/cSideBySide.h"
#include "image/cPeImage.h"
#include <algorithm>

cSideBySide::cSideBySide(const std::wstring& file)
{
    // The DLL's own manifest: "Using Side-by-Side Assemblies as a Resource" lists it as the one used for a
    // DLL's static imports.
    ACTCTXW request{};
    request.cbSize = sizeof request;
    request.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
    request.lpSource = file.c_str();
    request.lpResourceName = MAKEINTRESOURCEW(cPeImage::DllManifestId);
    m_context.Reset(::CreateActCtxW(&request));
    m_error = m_context ? ERROR_SUCCESS : ::GetLastError();
    if (m_context)
        m_state = eContext::Made;
    else if (m_error >= ERROR_RESOURCE_DATA_NOT_FOUND && m_error <= ERROR_RESOURCE_LANG_NOT_FOUND)
        m_state = eContext::NoManifest;
    else if (m_error >= ERROR_SXS_SECTION_NOT_FOUND && m_error < 15000)
        m_state = eContext::Refused;
    else
        m_state = eContext::Failed;
}

cSideBySide::eProvided cSideBySide::Provides(const std::wstring& dll) const
{
    ULONG_PTR cookie = 0;
    if (!m_context || !::ActivateActCtx(m_context.Get(), &cookie))
        return eProvided::NotByAssembly;
    ACTCTX_SECTION_KEYED_DATA found{};
    found.cbSize = sizeof found;
    const BOOL provided = ::FindActCtxSectionStringW(0, nullptr, ACTIVATION_CONTEXT_SECTION_DLL_REDIRECTION,
                                                     dll.c_str(), &found);
    ::DeactivateActCtx(0, cookie);
    return provided ? eProvided::ByAssembly : eProvided::NotByAssembly;
}

std::vector<std::string> cSideBySide::Dependencies(std::string_view manifest)
{
    std::vector<std::string> names;
    for (size_t at = manifest.find("<dependentAssembly"); at != std::string_view::npos && names.size() < 16;
         at = manifest.find("<dependentAssembly", at + 1))
    {
        const size_t identity = manifest.find("<assemblyIdentity", at);
        if (identity == std::string_view::npos)
            break;
        const std::string_view tag = manifest.substr(identity, manifest.find('>', identity) - identity);
        size_t name = tag.find("name=");
        while (name != std::string_view::npos && tag[name - 1] > ' ')
            name = tag.find("name=", name + 1);
        if (name == std::string_view::npos || name + 6 > tag.size() ||
            (tag[name + 5] != '"' && tag[name + 5] != '\''))
            continue;
        const std::string_view value = tag.substr(name + 6, tag.find(tag[name + 5], name + 6) - name - 6);
        std::string shown(value.substr(0, 64));
        std::replace_if(
            shown.begin(), shown.end(), [](char c) { return c < 0x20 || c > 0x7E; }, '?');
        if (std::find(names.begin(), names.end(), shown) == names.end())
            names.push_back(shown.empty() ? "?" : shown);
    }
    return names;
}
