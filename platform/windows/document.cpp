// The control in a document: its storage (IPersistStorage), its picture as
// data (IDataObject: CF_ENHMETAFILE and CF_METAFILEPICT, what OleDraw's
// callers, documents and their caches ask for), and the document's cache
// (IOleCache through the platform's data cache, aggregated), so that
// OleCreate(..., OLERENDER_DRAW, ...), OleSave and OleLoad work.

#include <windows.h>
#include <ole2.h>
#include <shlobj.h>

#include "platform/windows/client_control.h"
#include "platform/windows/com_boundary.h"
#include "platform/windows/frame_painter.h"

namespace borvane {

namespace {

constexpr wchar_t kContentsStream[] = L"Contents";

bool Offered(const FORMATETC& format) {
  return (format.cfFormat == CF_ENHMETAFILE && (format.tymed & TYMED_ENHMF) != 0) ||
         (format.cfFormat == CF_METAFILEPICT && (format.tymed & TYMED_MFPICT) != 0);
}

// The cache's own persistence, when it has one.
ComRef<IPersistStorage> CacheStorage(IUnknown* cache) {
  if (cache == nullptr) return {};
  return ComRef<IPersistStorage>::Query(cache, IID_IPersistStorage);
}

}  // namespace

HRESULT ClientControl::InitNew(IStorage* storage) {
  if (storage == nullptr) return E_POINTER;
  return Guarded([&]() -> HRESULT {
    if (m_Storage) return CO_E_ALREADYINITIALIZED;
    InitNew();
    if (auto cache = CacheStorage(m_Cache)) cache->InitNew(storage);
    m_Storage = ComRef<IStorage>::Share(storage);
    return S_OK;
  });
}

HRESULT ClientControl::Load(IStorage* storage) {
  if (storage == nullptr) return E_POINTER;
  return Guarded([&]() -> HRESULT {
    if (m_Storage) return CO_E_ALREADYINITIALIZED;
    ComRef<IStream> contents;
    HRESULT hr = storage->OpenStream(kContentsStream, nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE,
                                     0, contents.Put());
    if (FAILED(hr)) return hr;
    hr = Load(contents.Get());
    if (FAILED(hr)) return hr;
    // The cache's presentations are a picture for hosts that do not run
    // the control: without them the control still draws itself.
    if (auto cache = CacheStorage(m_Cache)) cache->Load(storage);
    m_Storage = ComRef<IStorage>::Share(storage);
    return S_OK;
  });
}

HRESULT ClientControl::Save(IStorage* storage, BOOL same_as_load) {
  if (storage == nullptr) return E_POINTER;
  return Guarded([&]() -> HRESULT {
    ComRef<IStream> contents;
    HRESULT hr = storage->CreateStream(
        kContentsStream, STGM_CREATE | STGM_WRITE | STGM_SHARE_EXCLUSIVE, 0, 0, contents.Put());
    if (FAILED(hr)) return hr;
    hr = Save(contents.Get(), FALSE);
    if (FAILED(hr)) return hr;
    if (auto cache = CacheStorage(m_Cache)) {
      hr = cache->Save(storage, same_as_load);
      if (FAILED(hr)) return hr;
    }
    return S_OK;
  });
}

HRESULT ClientControl::SaveCompleted(IStorage* storage) {
  return Guarded([&]() -> HRESULT {
    if (auto cache = CacheStorage(m_Cache)) cache->SaveCompleted(storage);
    // A new storage replaces the old one; without one, the last save went
    // to the storage the control already has.
    if (storage != nullptr) m_Storage = ComRef<IStorage>::Share(storage);
    m_Dirty = false;
    return S_OK;
  });
}

HRESULT ClientControl::HandsOffStorage() {
  if (auto cache = CacheStorage(m_Cache)) cache->HandsOffStorage();
  m_Storage.Reset();
  return S_OK;
}

HRESULT ClientControl::GetData(FORMATETC* format, STGMEDIUM* medium) {
  if (format == nullptr || medium == nullptr) return E_POINTER;
  if (format->dwAspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  if (format->lindex != -1) return DV_E_LINDEX;
  if (!Offered(*format)) return DV_E_FORMATETC;
  return Guarded([&]() -> HRESULT {
    const Image frame = m_Panel->Frame();
    const RECT pixels{0, 0, frame.Width(), frame.Height()};
    *medium = STGMEDIUM{};
    if (format->cfFormat == CF_ENHMETAFILE) {
      // The frame rectangle is in HIMETRIC: the picture's size is the
      // control's extent.
      const RECT himetric{0, 0, m_Extent.cx, m_Extent.cy};
      HDC dc = ::CreateEnhMetaFileW(nullptr, nullptr, &himetric, nullptr);
      if (dc == nullptr) return E_OUTOFMEMORY;
      const bool painted = PaintFrame(dc, frame, pixels);
      HENHMETAFILE picture = ::CloseEnhMetaFile(dc);
      if (picture == nullptr) return E_OUTOFMEMORY;
      if (!painted) {
        ::DeleteEnhMetaFile(picture);
        return E_FAIL;
      }
      medium->tymed = TYMED_ENHMF;
      medium->hEnhMetaFile = picture;
      return S_OK;
    }
    // A metafile picture: a metafile in logical units of pixels, scaled
    // by its reader to the extent (MM_ANISOTROPIC, HIMETRIC).
    HDC dc = ::CreateMetaFileW(nullptr);
    if (dc == nullptr) return E_OUTOFMEMORY;
    ::SetWindowOrgEx(dc, 0, 0, nullptr);
    ::SetWindowExtEx(dc, pixels.right, pixels.bottom, nullptr);
    const bool painted = PaintFrame(dc, frame, pixels);
    HMETAFILE picture = ::CloseMetaFile(dc);
    if (picture == nullptr) return E_OUTOFMEMORY;
    HGLOBAL holder = painted ? ::GlobalAlloc(GMEM_MOVEABLE, sizeof(METAFILEPICT)) : nullptr;
    auto* description = holder != nullptr ? static_cast<METAFILEPICT*>(::GlobalLock(holder)) : nullptr;
    if (description == nullptr) {
      if (holder != nullptr) ::GlobalFree(holder);
      ::DeleteMetaFile(picture);
      return painted ? E_OUTOFMEMORY : E_FAIL;
    }
    description->mm = MM_ANISOTROPIC;
    description->xExt = m_Extent.cx;
    description->yExt = m_Extent.cy;
    description->hMF = picture;
    ::GlobalUnlock(holder);
    medium->tymed = TYMED_MFPICT;
    medium->hMetaFilePict = holder;
    return S_OK;
  });
}

HRESULT ClientControl::QueryGetData(FORMATETC* format) {
  if (format == nullptr) return E_POINTER;
  if (format->dwAspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  if (format->lindex != -1) return DV_E_LINDEX;
  return Offered(*format) ? S_OK : DV_E_FORMATETC;
}

HRESULT ClientControl::GetCanonicalFormatEtc(FORMATETC* in, FORMATETC* out) {
  if (in == nullptr || out == nullptr) return E_POINTER;
  *out = *in;
  out->ptd = nullptr;  // the picture does not depend on a device
  return DATA_S_SAMEFORMATETC;
}

HRESULT ClientControl::EnumFormatEtc(DWORD direction, IEnumFORMATETC** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (direction != DATADIR_GET) return E_NOTIMPL;
  FORMATETC formats[] = {{CF_ENHMETAFILE, nullptr, DVASPECT_CONTENT, -1, TYMED_ENHMF},
                         {CF_METAFILEPICT, nullptr, DVASPECT_CONTENT, -1, TYMED_MFPICT}};
  return ::SHCreateStdEnumFmtEtc(2, formats, out);
}

HRESULT ClientControl::DAdvise(FORMATETC* format, DWORD flags, IAdviseSink* sink, DWORD* cookie) {
  if (format == nullptr || sink == nullptr || cookie == nullptr) return E_POINTER;
  return Guarded([&]() -> HRESULT {
    if (!m_DataAdvise) {
      const HRESULT hr = ::CreateDataAdviseHolder(m_DataAdvise.Put());
      if (FAILED(hr)) return hr;
    }
    const SelfHold hold(*this);  // priming calls the sink
    return m_DataAdvise->Advise(static_cast<IDataObject*>(this), format, flags, sink, cookie);
  });
}

HRESULT ClientControl::DUnadvise(DWORD cookie) {
  if (!m_DataAdvise) return OLE_E_NOCONNECTION;
  return m_DataAdvise->Unadvise(cookie);
}

HRESULT ClientControl::EnumDAdvise(IEnumSTATDATA** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (!m_DataAdvise) return OLE_E_ADVISENOTSUPPORTED;
  return m_DataAdvise->EnumAdvise(out);
}

}  // namespace borvane
