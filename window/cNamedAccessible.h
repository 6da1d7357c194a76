#pragma once
#include <windows.h>
#include <oleacc.h>
#include <string>

// A control's own accessible object with a name of its own: screen readers (MSAA, and UI Automation through
// its MSAA bridge) read the name, everything else is the control's standard answer, and nothing changes on
// screen. Made afresh for each WM_GETOBJECT.
#ifdef __GNUC__
#pragma GCC diagnostic push
// COM interfaces have no virtual destructor: an object ends through Release, never through the interface.
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
#endif
class cNamedAccessible : public IAccessible
{
public:
    // The answer to WM_GETOBJECT for the control's client area, or 0 (the control's own answer) when the
    // accessibility DLL cannot be had; it is loaded from the system folder at the first request.
    static LRESULT Answer(HWND control, WPARAM wParam, const std::wstring& name);

    cNamedAccessible(IAccessible* inner, std::wstring name) : m_inner(inner), m_name(std::move(name)) {}
    cNamedAccessible(const cNamedAccessible&) = delete;
    cNamedAccessible& operator=(const cNamedAccessible&) = delete;

    // IUnknown: other interfaces (IOleWindow, IEnumVARIANT) are the standard object's own.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    // IDispatch
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid,
                                            DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* exception, UINT* argError) override;
    // IAccessible
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override;
    HRESULT STDMETHODCALLTYPE get_accChildCount(long* count) override;
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** dispatch) override;
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override;
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override;
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* description) override;
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override;
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override;
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override;
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, long* topic) override;
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override;
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* child) override;
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* children) override;
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override;
    HRESULT STDMETHODCALLTYPE accSelect(long flags, VARIANT child) override;
    HRESULT STDMETHODCALLTYPE accLocation(long* left, long* top, long* width, long* height,
                                          VARIANT child) override;
    HRESULT STDMETHODCALLTYPE accNavigate(long direction, VARIANT start, VARIANT* end) override;
    HRESULT STDMETHODCALLTYPE accHitTest(long left, long top, VARIANT* child) override;
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override;
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT child, BSTR name) override;
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT child, BSTR value) override;

    virtual ~cNamedAccessible();

private:
    LONG m_references = 1;
    IAccessible* m_inner; // one reference, released with this object
    std::wstring m_name;
};
#ifdef __GNUC__
#pragma GCC diagnostic pop
#endif
