// IViewObject2: the panel's picture in any DC a host hands over (a
// screen, a memory DC, a metafile, a printer), stretched to its bounds.

#include "platform/windows/client_control.h"
#include "platform/windows/com_boundary.h"
#include "platform/windows/frame_painter.h"

namespace borvane {

HRESULT ClientControl::Draw(DWORD aspect, LONG, void*, DVTARGETDEVICE*, HDC, HDC dc,
                            LPCRECTL bounds, LPCRECTL, BOOL(STDMETHODCALLTYPE*)(ULONG_PTR),
                            ULONG_PTR) {
  return Guarded([&]() -> HRESULT {
    if (aspect != DVASPECT_CONTENT && aspect != DVASPECT_DOCPRINT) return DV_E_DVASPECT;
    if (dc == nullptr || bounds == nullptr) return E_INVALIDARG;
    const RECT target{bounds->left, bounds->top, bounds->right, bounds->bottom};
    if (target.right == target.left || target.bottom == target.top) return S_OK;
    return PaintFrame(dc, m_Panel->Frame(), target) ? S_OK : E_FAIL;
  });
}

HRESULT ClientControl::GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, LOGPALETTE** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  return S_FALSE;  // true colour: no palette to offer
}

HRESULT ClientControl::Freeze(DWORD, LONG, void*, DWORD* out) {
  if (out == nullptr) return E_POINTER;
  *out = 0;
  return E_NOTIMPL;
}

HRESULT ClientControl::SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) {
  return Guarded([&]() -> HRESULT {
    m_ViewSink = ComRef<IAdviseSink>::Share(sink);
    m_ViewAspects = aspects;
    m_ViewFlags = flags;
    // ADVF_PRIMEFIRST: the sink hears at once that there is a picture.
    if (m_ViewSink && (flags & ADVF_PRIMEFIRST) != 0) PanelChanged();
    return S_OK;
  });
}

HRESULT ClientControl::GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** out) {
  if (aspects != nullptr) *aspects = m_ViewAspects;
  if (flags != nullptr) *flags = m_ViewFlags;
  if (out != nullptr) {
    *out = m_ViewSink.Get();
    if (*out != nullptr) (*out)->AddRef();
  }
  return S_OK;
}

HRESULT ClientControl::GetExtent(DWORD aspect, LONG, DVTARGETDEVICE*, LPSIZEL size) {
  return GetExtent(aspect, size);
}

}  // namespace borvane
