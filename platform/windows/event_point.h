#pragma once
// The connection point of the (empty) event interface __client and its
// enumerator: advises are accepted and kept, and never called.

#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <map>
#include <new>

#include "library/identity.h"
#include "platform/windows/com_object.h"
#include "platform/windows/variant_convert.h"

namespace borvane {

class EventPoint final : public IConnectionPoint {
 public:
  explicit EventPoint(IConnectionPointContainer* owner) : m_Owner(owner) {}
  ~EventPoint() {
    for (auto& [cookie, sink] : m_Sinks) sink->Release();
  }
  EventPoint(const EventPoint&) = delete;
  EventPoint& operator=(const EventPoint&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IConnectionPoint)) {
      *out = static_cast<IConnectionPoint*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  // Lives as long as the object that holds it.
  ULONG STDMETHODCALLTYPE AddRef() override { return m_Owner->AddRef(); }
  ULONG STDMETHODCALLTYPE Release() override { return m_Owner->Release(); }

  HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) override {
    if (iid == nullptr) return E_POINTER;
    *iid = ToPlatformGuid(identity::kClientEventsIid);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer** out) override {
    if (out == nullptr) return E_POINTER;
    *out = m_Owner;
    m_Owner->AddRef();
    return S_OK;
  }
  // client raises no events: the sink is kept until Unadvise and never called.
  HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override {
    if (sink == nullptr || cookie == nullptr) return E_POINTER;
    sink->AddRef();
    *cookie = ++m_LastCookie;
    m_Sinks[*cookie] = sink;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override {
    const auto it = m_Sinks.find(cookie);
    if (it == m_Sinks.end()) return CONNECT_E_NOCONNECTION;
    it->second->Release();
    m_Sinks.erase(it);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections** out) override {
    if (out != nullptr) *out = nullptr;
    return E_NOTIMPL;
  }

 private:
  IConnectionPointContainer* m_Owner;
  std::map<DWORD, IUnknown*> m_Sinks;
  DWORD m_LastCookie = 0;
};

// Enumerates the one connection point.
class PointEnumerator final : public SingleInterfaceObject<PointEnumerator, IEnumConnectionPoints> {
 public:
  PointEnumerator(IConnectionPoint* point, ULONG position)
      : SingleInterfaceObject(IID_IEnumConnectionPoints), m_Point(point), m_Position(position) {
    m_Point->AddRef();
  }
  ~PointEnumerator() { m_Point->Release(); }

  HRESULT STDMETHODCALLTYPE Next(ULONG count, IConnectionPoint** points, ULONG* fetched) override {
    if (points == nullptr) return E_POINTER;
    ULONG given = 0;
    if (count > 0 && m_Position == 0) {
      points[0] = m_Point;
      m_Point->AddRef();
      given = 1;
      m_Position = 1;
    }
    if (fetched != nullptr) *fetched = given;
    return given == count ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Skip(ULONG count) override {
    const ULONG left = m_Position == 0 ? 1 : 0;
    m_Position = count >= 1 ? 1 : m_Position;
    return count <= left ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Reset() override {
    m_Position = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Clone(IEnumConnectionPoints** out) override {
    if (out == nullptr) return E_POINTER;
    *out = new (std::nothrow) PointEnumerator(m_Point, m_Position);
    return *out != nullptr ? S_OK : E_OUTOFMEMORY;
  }

 private:
  IConnectionPoint* m_Point;
  ULONG m_Position;
};

}  // namespace borvane
