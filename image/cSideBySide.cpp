#include "image/cSideBySide.h"
#include <windows.h>
#include <utility>

namespace
{
// An activation context, released when it goes; activated for as long as its user needs.
class cContext
{
public:
    explicit cContext(HANDLE context) : m_context(context) {}
    ~cContext()
    {
        if (m_active)
            ::DeactivateActCtx(0, m_cookie);
        if (m_context != INVALID_HANDLE_VALUE)
            ::ReleaseActCtx(m_context);
    }
    cContext(const cContext&) = delete;
    cContext& operator=(const cContext&) = delete;
    bool Activate()
    {
        m_active = m_context != INVALID_HANDLE_VALUE && ::ActivateActCtx(m_context, &m_cookie);
        return m_active;
    }

private:
    HANDLE m_context;
    ULONG_PTR m_cookie = 0;
    bool m_active = false;
};
} // namespace

cSideBySide::eProvided cSideBySide::Provides(const std::wstring& file, const std::wstring& dll)
{
    // The manifest a DLL carries for itself is resource 2 (ISOLATIONAWARE_MANIFEST_RESOURCE_ID).
    ACTCTXW request{};
    request.cbSize = sizeof request;
    request.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
    request.lpSource = file.c_str();
    request.lpResourceName = MAKEINTRESOURCEW(2);
    cContext context(::CreateActCtxW(&request));
    if (!context.Activate())
        return eProvided::NotByAssembly;
    ACTCTX_SECTION_KEYED_DATA found{};
    found.cbSize = sizeof found;
    return ::FindActCtxSectionStringW(0, nullptr, ACTIVATION_CONTEXT_SECTION_DLL_REDIRECTION, dll.c_str(),
                                      &found)
               ? eProvided::ByAssembly
               : eProvided::NotByAssembly;
}
