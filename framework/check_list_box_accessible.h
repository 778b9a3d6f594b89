// What a screen reader reads of a CCheckListBox: the list itself is the
// system's standard object, every line is a check button of our own, checked
// when ticked, whose default action ticks or unticks it. oleacc and oleaut32
// are loaded from the system folder when a reader first asks.
#pragma once

#include <windows.h>
#include <oleacc.h>

class CCheckListBox;

class CCheckListBoxAccessible : public IAccessible {
public:
    // With one reference for the caller; null when oleacc cannot be had.
    static CCheckListBoxAccessible* Create(CCheckListBox* pList);
    // The list is going: from now on every question is answered
    // CO_E_OBJNOTCONNECTED, whoever still holds the object. On the list's thread.
    void Disconnect();
    // The answer to WM_GETOBJECT for OBJID_CLIENT.
    LRESULT Answer(WPARAM wParam);

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    // IDispatch: readers use the vtable; oleacc's proxy does not go through it.
    STDMETHODIMP GetTypeInfoCount(UINT* pctinfo) override;
    STDMETHODIMP GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) override;
    STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid, DISPID* rgDispId) override;
    STDMETHODIMP Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams,
                        VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) override;
    // IAccessible
    STDMETHODIMP get_accParent(IDispatch** ppdispParent) override;
    STDMETHODIMP get_accChildCount(long* pcountChildren) override;
    STDMETHODIMP get_accChild(VARIANT varChild, IDispatch** ppdispChild) override;
    STDMETHODIMP get_accName(VARIANT varChild, BSTR* pszName) override;
    STDMETHODIMP get_accValue(VARIANT varChild, BSTR* pszValue) override;
    STDMETHODIMP get_accDescription(VARIANT varChild, BSTR* pszDescription) override;
    STDMETHODIMP get_accRole(VARIANT varChild, VARIANT* pvarRole) override;
    STDMETHODIMP get_accState(VARIANT varChild, VARIANT* pvarState) override;
    STDMETHODIMP get_accHelp(VARIANT varChild, BSTR* pszHelp) override;
    STDMETHODIMP get_accHelpTopic(BSTR* pszHelpFile, VARIANT varChild, long* pidTopic) override;
    STDMETHODIMP get_accKeyboardShortcut(VARIANT varChild, BSTR* pszKeyboardShortcut) override;
    STDMETHODIMP get_accFocus(VARIANT* pvarChild) override;
    STDMETHODIMP get_accSelection(VARIANT* pvarChildren) override;
    STDMETHODIMP get_accDefaultAction(VARIANT varChild, BSTR* pszDefaultAction) override;
    STDMETHODIMP accSelect(long flagsSelect, VARIANT varChild) override;
    STDMETHODIMP accLocation(long* pxLeft, long* pyTop, long* pcxWidth, long* pcyHeight, VARIANT varChild) override;
    STDMETHODIMP accNavigate(long navDir, VARIANT varStart, VARIANT* pvarEndUpAt) override;
    STDMETHODIMP accHitTest(long xLeft, long yTop, VARIANT* pvarChild) override;
    STDMETHODIMP accDoDefaultAction(VARIANT varChild) override;
    STDMETHODIMP put_accName(VARIANT varChild, BSTR szName) override;
    STDMETHODIMP put_accValue(VARIANT varChild, BSTR szValue) override;

    CCheckListBoxAccessible(const CCheckListBoxAccessible&) = delete;
    CCheckListBoxAccessible& operator=(const CCheckListBoxAccessible&) = delete;

private:
    CCheckListBoxAccessible(CCheckListBox* pList, IAccessible* pStandard);
    virtual ~CCheckListBoxAccessible();

    // S_OK for a line (nIndex its 0-based index), S_FALSE for the list
    // itself, a failure for anything else or once the list has gone.
    HRESULT Which(const VARIANT& varChild, int* pnIndex) const;
    // Whether the list takes input: it and the windows it lies in are enabled.
    bool Available() const;
    // A text that only the list itself has (value, description, help,
    // shortcut): the standard object's for the list, none for a line.
    using StandardText = HRESULT (STDMETHODCALLTYPE IAccessible::*)(VARIANT, BSTR*);
    HRESULT ListTextOnly(VARIANT varChild, BSTR* psz, StandardText pfnStandard);

    LONG m_cRef = 1;
    CCheckListBox* m_pList;
    IAccessible* m_pStandard;
    bool m_bApartment = false;  // this object's CoInitialize, undone at Disconnect
};
