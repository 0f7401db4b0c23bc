#pragma once
// `client` as a visual control: the object a control host creates. It
// answers the dispatch interface _client (through the type library's
// description of it), class information, the empty event interface, and
// the control protocol: embedding (IOleObject), in-place activation in a
// window of its own, drawing into any DC (IViewObject2), ambient values
// (IOleControl), quick activation for page hosts (IQuickActivate),
// persistence of its extent to streams, property bags and document
// storages, its picture as data (IDataObject) with the platform's data
// cache aggregated (IOleCache), and its safety declaration for script and
// page hosts. No C++ exception leaves any of its methods (com_boundary.h).
//
// The methods are spread over files by interface group: com_client.cpp
// (identity and dispatch), ole_object.cpp, in_place.cpp, view_object.cpp,
// persist.cpp, document.cpp and ole_control.cpp.

#include <windows.h>
#include <objsafe.h>
#include <ocidl.h>
#include <oleidl.h>

#include <atomic>
#include <memory>

#include "platform/windows/com_client.h"
#include "platform/windows/control_window.h"
#include "platform/windows/event_point.h"
#include "platform/windows/gdi_handles.h"
#include "platform/windows/message_window.h"
#include "platform/windows/windows_panel.h"

namespace borvane {

class ClientControl final : public IClientDual,
                            public IProvideClassInfo2,
                            public IConnectionPointContainer,
                            public ISupportErrorInfo,
                            public IOleObject,
                            public IOleInPlaceObject,
                            public IOleInPlaceActiveObject,
                            public IOleControl,
                            public IViewObject2,
                            public IPersistStreamInit,
                            public IPersistPropertyBag,
                            public IPersistStorage,
                            public IDataObject,
                            public IQuickActivate,
                            public IObjectSafety {
 public:
  ClientControl(std::unique_ptr<WindowsPanel> panel, ITypeInfo* interface_info,
                ITypeInfo* class_info);
  ~ClientControl();
  ClientControl(const ClientControl&) = delete;
  ClientControl& operator=(const ClientControl&) = delete;

  // The panel's size at design time: 5295 × 2505 twips in HIMETRIC
  // (hundredths of a millimetre).
  static constexpr SIZEL kDesignExtent{9340, 4419};
  // The largest side the control takes, from hosts (rectangles) and from
  // stored data (extents): 4096 pixels, 108,373 HIMETRIC at 96 dots an
  // inch. The panel's picture is drawn into a surface of its size, and
  // 4096 × 4096 is 64 MB; far larger sizes could not be allocated at all.
  static constexpr long kMaxSidePixels = 4096;
  static constexpr LONG kMaxExtent = 108373;

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return ++m_References; }
  ULONG STDMETHODCALLTYPE Release() override;

  // IDispatch and _client (com_client.cpp)
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** out) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                          DISPID* ids) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* exception,
                                   UINT* bad_arg) override;
  HRESULT STDMETHODCALLTYPE DisplayTime(BSTR* result) override;
  HRESULT STDMETHODCALLTYPE DeCrypt(VARIANT* texti, VARIANT* salasana, BSTR* result) override;

  // IProvideClassInfo2 (com_client.cpp)
  HRESULT STDMETHODCALLTYPE GetClassInfo(ITypeInfo** out) override;
  HRESULT STDMETHODCALLTYPE GetGUID(DWORD kind, GUID* out) override;

  // IConnectionPointContainer (com_client.cpp)
  HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** out) override;
  HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID iid, IConnectionPoint** out) override;

  // ISupportErrorInfo (com_client.cpp)
  HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID iid) override;

  // IOleObject (ole_object.cpp)
  HRESULT STDMETHODCALLTYPE SetClientSite(IOleClientSite* site) override;
  HRESULT STDMETHODCALLTYPE GetClientSite(IOleClientSite** out) override;
  HRESULT STDMETHODCALLTYPE SetHostNames(LPCOLESTR, LPCOLESTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE Close(DWORD save_option) override;
  HRESULT STDMETHODCALLTYPE SetMoniker(DWORD, IMoniker*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker** out) override;
  HRESULT STDMETHODCALLTYPE InitFromData(IDataObject*, BOOL, DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetClipboardData(DWORD, IDataObject** out) override;
  HRESULT STDMETHODCALLTYPE DoVerb(LONG verb, LPMSG, IOleClientSite* site, LONG, HWND parent,
                                   LPCRECT position) override;
  HRESULT STDMETHODCALLTYPE EnumVerbs(IEnumOLEVERB** out) override;
  HRESULT STDMETHODCALLTYPE Update() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE IsUpToDate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetUserClassID(CLSID* out) override;
  HRESULT STDMETHODCALLTYPE GetUserType(DWORD form, LPOLESTR* out) override;
  HRESULT STDMETHODCALLTYPE SetExtent(DWORD aspect, SIZEL* size) override;
  HRESULT STDMETHODCALLTYPE GetExtent(DWORD aspect, SIZEL* size) override;
  HRESULT STDMETHODCALLTYPE Advise(IAdviseSink* sink, DWORD* cookie) override;
  HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override;
  HRESULT STDMETHODCALLTYPE EnumAdvise(IEnumSTATDATA** out) override;
  HRESULT STDMETHODCALLTYPE GetMiscStatus(DWORD aspect, DWORD* status) override;
  HRESULT STDMETHODCALLTYPE SetColorScheme(LOGPALETTE*) override { return E_NOTIMPL; }

  // IOleWindow, IOleInPlaceObject, IOleInPlaceActiveObject (in_place.cpp)
  HRESULT STDMETHODCALLTYPE GetWindow(HWND* out) override;
  HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE InPlaceDeactivate() override;
  HRESULT STDMETHODCALLTYPE UIDeactivate() override;
  HRESULT STDMETHODCALLTYPE SetObjectRects(LPCRECT position, LPCRECT clip) override;
  HRESULT STDMETHODCALLTYPE ReactivateAndUndo() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG message) override;
  HRESULT STDMETHODCALLTYPE OnFrameWindowActivate(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnDocWindowActivate(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) override {
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE EnableModeless(BOOL) override { return S_OK; }

  // IOleControl (ole_control.cpp)
  HRESULT STDMETHODCALLTYPE GetControlInfo(CONTROLINFO* info) override;
  HRESULT STDMETHODCALLTYPE OnMnemonic(MSG*) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnAmbientPropertyChange(DISPID id) override;
  HRESULT STDMETHODCALLTYPE FreezeEvents(BOOL freeze) override;

  // IViewObject2 (view_object.cpp)
  HRESULT STDMETHODCALLTYPE Draw(DWORD aspect, LONG, void*, DVTARGETDEVICE*, HDC, HDC dc,
                                 LPCRECTL bounds, LPCRECTL, BOOL(STDMETHODCALLTYPE*)(ULONG_PTR),
                                 ULONG_PTR) override;
  HRESULT STDMETHODCALLTYPE GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC,
                                        LOGPALETTE** out) override;
  HRESULT STDMETHODCALLTYPE Freeze(DWORD, LONG, void*, DWORD* out) override;
  HRESULT STDMETHODCALLTYPE Unfreeze(DWORD) override { return OLE_E_NOCONNECTION; }
  HRESULT STDMETHODCALLTYPE SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) override;
  HRESULT STDMETHODCALLTYPE GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** out) override;
  HRESULT STDMETHODCALLTYPE GetExtent(DWORD aspect, LONG, DVTARGETDEVICE*, LPSIZEL size) override;

  // IPersist, IPersistStreamInit, IPersistPropertyBag (persist.cpp)
  HRESULT STDMETHODCALLTYPE GetClassID(CLSID* out) override;
  HRESULT STDMETHODCALLTYPE IsDirty() override { return m_Dirty ? S_OK : S_FALSE; }
  HRESULT STDMETHODCALLTYPE Load(LPSTREAM stream) override;
  HRESULT STDMETHODCALLTYPE Save(LPSTREAM stream, BOOL clear_dirty) override;
  HRESULT STDMETHODCALLTYPE GetSizeMax(ULARGE_INTEGER* size) override;
  HRESULT STDMETHODCALLTYPE InitNew() override;
  HRESULT STDMETHODCALLTYPE Load(IPropertyBag* bag, IErrorLog* log) override;
  HRESULT STDMETHODCALLTYPE Save(IPropertyBag* bag, BOOL clear_dirty, BOOL save_all) override;

  // IPersistStorage (document.cpp): the same record as the stream, in a
  // stream "Contents" of the document's storage, with the cache's
  // presentations beside it.
  HRESULT STDMETHODCALLTYPE InitNew(IStorage* storage) override;
  HRESULT STDMETHODCALLTYPE Load(IStorage* storage) override;
  HRESULT STDMETHODCALLTYPE Save(IStorage* storage, BOOL same_as_load) override;
  HRESULT STDMETHODCALLTYPE SaveCompleted(IStorage* storage) override;
  HRESULT STDMETHODCALLTYPE HandsOffStorage() override;

  // IDataObject (document.cpp): the panel's picture as an enhanced
  // metafile and as a metafile picture, for documents and their caches.
  HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) override;
  HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* format) override;
  HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC* in, FORMATETC* out) override;
  HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD direction, IEnumFORMATETC** out) override;
  HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC* format, DWORD flags, IAdviseSink* sink,
                                    DWORD* cookie) override;
  HRESULT STDMETHODCALLTYPE DUnadvise(DWORD cookie) override;
  HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA** out) override;

  // IQuickActivate (ole_control.cpp): site, view sink, event sink and
  // ambient values in one call, as page hosts activate controls.
  HRESULT STDMETHODCALLTYPE QuickActivate(QACONTAINER* container, QACONTROL* control) override;
  HRESULT STDMETHODCALLTYPE SetContentExtent(LPSIZEL size) override;
  HRESULT STDMETHODCALLTYPE GetContentExtent(LPSIZEL size) override;

  // IObjectSafety (ole_control.cpp)
  HRESULT STDMETHODCALLTYPE GetInterfaceSafetyOptions(REFIID iid, DWORD* supported,
                                                      DWORD* enabled) override;
  HRESULT STDMETHODCALLTYPE SetInterfaceSafetyOptions(REFIID iid, DWORD mask,
                                                      DWORD enabled) override;

 private:
  // in_place.cpp: activation in the site's window, with or without the
  // user interface (focus, the frame's active object).
  HRESULT InPlaceActivate(bool with_ui, LPCRECT position);
  // The panel's picture changed: repaint, and tell the view's sink.
  void PanelChanged();
  // Timers tick only while there is a window and the host runs the page
  // or form (not in design mode).
  void UpdateTimers();
  // ole_control.cpp: the ambient values the site's dispatch offers.
  void ReadAmbient(DISPID id);
  // persist.cpp: a sane extent (HIMETRIC, positive, at most kMaxExtent).
  static bool ValidExtent(const SIZEL& size);
  // in_place.cpp: shows only the part of the window inside `clip` (both
  // in the host window's pixels).
  void ApplyClip(const RECT& position, const RECT& clip);
  // in_place.cpp: the extent follows the rectangle the host shows the
  // control in, so GetExtent gives the size the host gave.
  void ExtentFromRect(const RECT& rect);
  // ole_control.cpp: whether QueryInterface gives `iid`.
  bool Answers(REFIID iid);
  // in_place.cpp: a rectangle of a sane size (no side above kMaxSidePixels).
  static bool ValidRect(const RECT& rect);

  // A reference to the control itself for one scope: every call out to
  // the host is made under one, so a host that releases its last pointer
  // from inside that call ends the control only after it returns.
  class SelfHold {
   public:
    explicit SelfHold(ClientControl& control) : m_Control(control) {
      m_Control.AddRef();
      ++m_Control.m_SelfHolds;
    }
    ~SelfHold() {
      --m_Control.m_SelfHolds;
      m_Control.Release();
    }
    SelfHold(const SelfHold&) = delete;
    SelfHold& operator=(const SelfHold&) = delete;

   private:
    ClientControl& m_Control;
  };
  // Messages the control posts to itself.
  static constexpr UINT kFirstQueryMessage = WM_APP + 1;
  void Posted(UINT message);

  std::unique_ptr<WindowsPanel> m_Panel;
  ITypeInfo* m_InterfaceInfo;
  ITypeInfo* m_ClassInfo;
  EventPoint m_Events;
  std::atomic<ULONG> m_References{1};
  // References the control holds on itself (SelfHold); when only these
  // are left the host has let go, and a query in flight is cancelled.
  ULONG m_SelfHolds = 0;
  // The host let go while a call was under way: nothing more goes out to
  // its sinks.
  bool m_Released = false;
  std::unique_ptr<MessageWindow> m_Messages;
  // The document's cache (IOleCache, IOleCache2, IOleCacheControl): the
  // platform's data cache, aggregated; its non-delegating IUnknown.
  IUnknown* m_Cache = nullptr;
  ComRef<IStorage> m_Storage;  // the document's storage, between saves
  ComRef<IDataAdviseHolder> m_DataAdvise;

  SIZEL m_Extent = kDesignExtent;
  bool m_Dirty = false;
  bool m_UserMode = true;
  LONG m_FrozenEvents = 0;
  DWORD m_SafeOptions = 0;  // INTERFACESAFE_FOR_* a host has enabled

  ComRef<IOleClientSite> m_ClientSite;
  ComRef<IOleAdviseHolder> m_AdviseHolder;
  ComRef<IAdviseSink> m_ViewSink;
  DWORD m_ViewAspects = 0;
  DWORD m_ViewFlags = 0;

  ComRef<IOleInPlaceSite> m_InPlaceSite;
  ComRef<IOleInPlaceFrame> m_Frame;
  ComRef<IOleInPlaceUIWindow> m_UiWindow;
  std::unique_ptr<ControlWindow> m_Window;
  bool m_UiActive = false;
};

}  // namespace borvane
