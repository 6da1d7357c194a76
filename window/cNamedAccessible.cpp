#include "window/cNamedAccessible.h"
#include "sys/cOwned.h"
#include "sys/ProcAddress.h"
#include "sys/SystemFolder.h"
#include <memory>

namespace
{
constexpr IID AccessibleIid{0x618736e0, 0x3c3d, 0x11cf, {0x81, 0x0c, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};

bool IsSelf(const VARIANT& child)
{
    return child.vt == VT_I4 && child.lVal == CHILDID_SELF;
}

// A DLL of the system folder, loaded by its full path at the first request and kept, as the objects made
// with it may outlive a request: oleacc is not among the DLLs Windows always takes from there (the tool runs
// elevated), and neither is needed unless a screen reader asks.
cOwned<ModuleTraits> SystemDll(const wchar_t* name)
{
    const std::wstring folder = SystemFolder();
    return cOwned<ModuleTraits>(folder.empty() ? nullptr : ::LoadLibraryW((folder + L"\\" + name).c_str()));
}

template <class Function>
Function FromOleacc(const char* function)
{
    static const cOwned<ModuleTraits> module = SystemDll(L"oleacc.dll");
    return ProcOf<Function>(module.Get(), function);
}

BSTR AllocString(const std::wstring& text)
{
    static const cOwned<ModuleTraits> module = SystemDll(L"oleaut32.dll");
    const auto alloc = ProcOf<BSTR(WINAPI*)(const OLECHAR*)>(module.Get(), "SysAllocString");
    return alloc ? alloc(text.c_str()) : nullptr;
}
} // namespace

LRESULT cNamedAccessible::Answer(HWND control, WPARAM wParam, const std::wstring& name)
{
    using CreateFn = HRESULT(WINAPI*)(HWND, LONG, REFIID, void**);
    using LresultFn = LRESULT(WINAPI*)(REFIID, WPARAM, LPUNKNOWN);
    const auto create = FromOleacc<CreateFn>("CreateStdAccessibleObject");
    const auto lresult = FromOleacc<LresultFn>("LresultFromObject");
    IAccessible* inner = nullptr;
    if (!create || !lresult ||
        FAILED(create(control, OBJID_CLIENT, AccessibleIid, reinterpret_cast<void**>(&inner))) || !inner)
        return 0;
    auto object = std::make_unique<cNamedAccessible>(inner, name);
    const LRESULT result = lresult(AccessibleIid, wParam, object.get());
    object.release()->Release(); // the reference LresultFromObject took keeps it
    return result > 0 ? result : 0;
}

cNamedAccessible::~cNamedAccessible()
{
    m_inner->Release();
}

HRESULT cNamedAccessible::QueryInterface(REFIID riid, void** object)
{
    if (!object)
        return E_POINTER;
    if (IsEqualIID(riid, __uuidof(IUnknown)) || IsEqualIID(riid, __uuidof(IDispatch)) ||
        IsEqualIID(riid, AccessibleIid))
    {
        *object = static_cast<IAccessible*>(this);
        AddRef();
        return S_OK;
    }
    return m_inner->QueryInterface(riid, object);
}

ULONG cNamedAccessible::AddRef()
{
    return static_cast<ULONG>(::InterlockedIncrement(&m_references));
}

ULONG cNamedAccessible::Release()
{
    const LONG left = ::InterlockedDecrement(&m_references);
    if (left == 0)
        const std::unique_ptr<cNamedAccessible> self(this);
    return static_cast<ULONG>(left);
}

HRESULT cNamedAccessible::get_accName(VARIANT child, BSTR* name)
{
    if (!IsSelf(child))
        return m_inner->get_accName(child, name);
    if (!name)
        return E_POINTER;
    *name = AllocString(m_name);
    return *name ? S_OK : E_OUTOFMEMORY;
}

// Everything else is the standard object's answer.
HRESULT cNamedAccessible::GetTypeInfoCount(UINT* count)
{
    return m_inner->GetTypeInfoCount(count);
}
HRESULT cNamedAccessible::GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info)
{
    return m_inner->GetTypeInfo(index, lcid, info);
}
HRESULT cNamedAccessible::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids)
{
    return m_inner->GetIDsOfNames(riid, names, count, lcid, ids);
}
HRESULT cNamedAccessible::Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                                 VARIANT* result, EXCEPINFO* exception, UINT* argError)
{
    return m_inner->Invoke(id, riid, lcid, flags, params, result, exception, argError);
}
HRESULT cNamedAccessible::get_accParent(IDispatch** parent)
{
    return m_inner->get_accParent(parent);
}
HRESULT cNamedAccessible::get_accChildCount(long* count)
{
    return m_inner->get_accChildCount(count);
}
HRESULT cNamedAccessible::get_accChild(VARIANT child, IDispatch** dispatch)
{
    return m_inner->get_accChild(child, dispatch);
}
HRESULT cNamedAccessible::get_accValue(VARIANT child, BSTR* value)
{
    return m_inner->get_accValue(child, value);
}
HRESULT cNamedAccessible::get_accDescription(VARIANT child, BSTR* description)
{
    return m_inner->get_accDescription(child, description);
}
HRESULT cNamedAccessible::get_accRole(VARIANT child, VARIANT* role)
{
    return m_inner->get_accRole(child, role);
}
HRESULT cNamedAccessible::get_accState(VARIANT child, VARIANT* state)
{
    return m_inner->get_accState(child, state);
}
HRESULT cNamedAccessible::get_accHelp(VARIANT child, BSTR* help)
{
    return m_inner->get_accHelp(child, help);
}
HRESULT cNamedAccessible::get_accHelpTopic(BSTR* file, VARIANT child, long* topic)
{
    return m_inner->get_accHelpTopic(file, child, topic);
}
HRESULT cNamedAccessible::get_accKeyboardShortcut(VARIANT child, BSTR* shortcut)
{
    return m_inner->get_accKeyboardShortcut(child, shortcut);
}
HRESULT cNamedAccessible::get_accFocus(VARIANT* child)
{
    return m_inner->get_accFocus(child);
}
HRESULT cNamedAccessible::get_accSelection(VARIANT* children)
{
    return m_inner->get_accSelection(children);
}
HRESULT cNamedAccessible::get_accDefaultAction(VARIANT child, BSTR* action)
{
    return m_inner->get_accDefaultAction(child, action);
}
HRESULT cNamedAccessible::accSelect(long flags, VARIANT child)
{
    return m_inner->accSelect(flags, child);
}
HRESULT cNamedAccessible::accLocation(long* left, long* top, long* width, long* height, VARIANT child)
{
    return m_inner->accLocation(left, top, width, height, child);
}
HRESULT cNamedAccessible::accNavigate(long direction, VARIANT start, VARIANT* end)
{
    return m_inner->accNavigate(direction, start, end);
}
HRESULT cNamedAccessible::accHitTest(long left, long top, VARIANT* child)
{
    return m_inner->accHitTest(left, top, child);
}
HRESULT cNamedAccessible::accDoDefaultAction(VARIANT child)
{
    return m_inner->accDoDefaultAction(child);
}
HRESULT cNamedAccessible::put_accName(VARIANT child, BSTR name)
{
    return m_inner->put_accName(child, name);
}
HRESULT cNamedAccessible::put_accValue(VARIANT child, BSTR value)
{
    return m_inner->put_accValue(child, value);
}
