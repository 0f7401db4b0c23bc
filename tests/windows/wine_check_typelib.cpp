// The type library embedded in borvane.ocx, read back by the platform's
// reader: the four descriptions in order, their flags, members, dispatch
// identifiers and the record layout, all against the identity table.

#include <cstdio>
#include <string>

#include "library/identity.h"
#include "platform/windows/variant_convert.h"
#include "tests/windows/wine_check.h"

namespace wine_check {

std::string Name(ITypeInfo* info, MEMBERID member) {
  BSTR name = nullptr;
  if (FAILED(info->GetDocumentation(member, &name, nullptr, nullptr, nullptr))) return "?";
  std::string text = borvane::Narrow(name, static_cast<int>(::SysStringLen(name)));
  ::SysFreeString(name);
  return text;
}

namespace {

using borvane::Narrow;
using borvane::ToPlatformGuid;
namespace id = borvane::identity;

// Finds a function by name in a type description.
const FUNCDESC* FindFunction(ITypeInfo* info, const TYPEATTR* attr, const std::string& name,
                             ITypeInfo** owner) {
  for (UINT i = 0; i < attr->cFuncs; ++i) {
    FUNCDESC* func = nullptr;
    if (FAILED(info->GetFuncDesc(i, &func))) continue;
    if (Name(info, func->memid) == name) {
      *owner = info;
      return func;
    }
    info->ReleaseFuncDesc(func);
  }
  return nullptr;
}

void CheckClientInterface(ITypeInfo* info) {
  TYPEATTR* attr = nullptr;
  CHECK(SUCCEEDED(info->GetTypeAttr(&attr)));
  if (attr == nullptr) return;
  CHECK(attr->typekind == TKIND_DISPATCH);
  CHECK(IsEqualGUID(attr->guid, ToPlatformGuid(id::kClientIid)));
  const WORD wanted = TYPEFLAG_FHIDDEN | TYPEFLAG_FDUAL | TYPEFLAG_FNONEXTENSIBLE;
  if ((attr->wTypeFlags & wanted) != wanted) std::printf("  _client flags 0x%x\n", attr->wTypeFlags);
  CHECK((attr->wTypeFlags & wanted) == wanted);
  CHECK((attr->wTypeFlags & TYPEFLAG_FCANCREATE) == 0);

  // Through the function table: the dual twin, derived from IDispatch.
  HREFTYPE twin_ref = 0;
  ITypeInfo* twin = nullptr;
  CHECK(SUCCEEDED(info->GetRefTypeOfImplType(static_cast<UINT>(-1), &twin_ref)));
  CHECK(SUCCEEDED(info->GetRefTypeInfo(twin_ref, &twin)));
  info->ReleaseTypeAttr(attr);
  if (twin == nullptr) return;
  TYPEATTR* twin_attr = nullptr;
  CHECK(SUCCEEDED(twin->GetTypeAttr(&twin_attr)));
  CHECK(twin_attr->typekind == TKIND_INTERFACE);
  // The library stores the automation flag on the interface's one entry;
  // Wine's reader shows it on the function-table side only.
  const WORD twin_wanted = wanted | TYPEFLAG_FOLEAUTOMATION;
  if ((twin_attr->wTypeFlags & twin_wanted) != twin_wanted) {
    std::printf("  _client function-table flags 0x%x\n", twin_attr->wTypeFlags);
  }
  CHECK((twin_attr->wTypeFlags & twin_wanted) == twin_wanted);
  CHECK(twin_attr->cFuncs == 2);
  CHECK(twin_attr->cImplTypes == 1);
  HREFTYPE base_ref = 0;
  ITypeInfo* base = nullptr;
  CHECK(SUCCEEDED(twin->GetRefTypeOfImplType(0, &base_ref)));
  CHECK(SUCCEEDED(twin->GetRefTypeInfo(base_ref, &base)));
  if (base != nullptr) {
    CHECK(Name(base, MEMBERID_NIL) == "IDispatch");
    // IDispatch comes from the imported standard automation library.
    ITypeLib* imported = nullptr;
    UINT index = 0;
    CHECK(SUCCEEDED(base->GetContainingTypeLib(&imported, &index)));
    if (imported != nullptr) {
      TLIBATTR* imported_attr = nullptr;
      CHECK(SUCCEEDED(imported->GetLibAttr(&imported_attr)));
      if (imported_attr != nullptr) {
        CHECK(IsEqualGUID(imported_attr->guid, ToPlatformGuid(id::kStdOle2Id)));
        CHECK(imported_attr->wMajorVerNum == 2);
        CHECK(imported_attr->wMinorVerNum == 0);
        imported->ReleaseTLibAttr(imported_attr);
      }
      imported->Release();
    }
    base->Release();
  }

  ITypeInfo* owner = nullptr;
  if (const FUNCDESC* func = FindFunction(twin, twin_attr, "DisplayTime", &owner)) {
    CHECK(func->memid == id::kDispIdDisplayTime);
    CHECK(func->cParams == 1);
    CHECK(func->lprgelemdescParam[0].paramdesc.wParamFlags == (PARAMFLAG_FOUT | PARAMFLAG_FRETVAL));
    CHECK(func->lprgelemdescParam[0].tdesc.vt == VT_PTR);
    CHECK(func->lprgelemdescParam[0].tdesc.lptdesc->vt == VT_BSTR);
    CHECK(func->elemdescFunc.tdesc.vt == VT_HRESULT);
    owner->ReleaseFuncDesc(const_cast<FUNCDESC*>(func));
  } else {
    CHECK(!"DisplayTime is described");
  }
  if (const FUNCDESC* func = FindFunction(twin, twin_attr, "DeCrypt", &owner)) {
    CHECK(func->memid == id::kDispIdDeCrypt);
    CHECK(func->cParams == 3);
    for (int i = 0; i < 2; ++i) {
      const ELEMDESC& param = func->lprgelemdescParam[i];
      CHECK(param.tdesc.vt == VT_PTR);
      CHECK(param.tdesc.lptdesc->vt == VT_VARIANT);
      CHECK(param.paramdesc.wParamFlags == (PARAMFLAG_FIN | PARAMFLAG_FOUT));
    }
    CHECK(func->lprgelemdescParam[2].paramdesc.wParamFlags == (PARAMFLAG_FOUT | PARAMFLAG_FRETVAL));
    BSTR names[4] = {};
    UINT count = 0;
    CHECK(SUCCEEDED(twin->GetNames(func->memid, names, 4, &count)));
    CHECK(count >= 3);
    if (count >= 3) {
      CHECK(Narrow(names[0]) == "DeCrypt");
      CHECK(Narrow(names[1]) == "texti");
      CHECK(Narrow(names[2]) == "salasana");
    }
    for (UINT i = 0; i < count; ++i) ::SysFreeString(names[i]);
    owner->ReleaseFuncDesc(const_cast<FUNCDESC*>(func));
  } else {
    CHECK(!"DeCrypt is described");
  }
  twin->ReleaseTypeAttr(twin_attr);
  twin->Release();
}

void CheckClass(ITypeInfo* info) {
  TYPEATTR* attr = nullptr;
  CHECK(SUCCEEDED(info->GetTypeAttr(&attr)));
  if (attr == nullptr) return;
  CHECK(attr->typekind == TKIND_COCLASS);
  CHECK(IsEqualGUID(attr->guid, ToPlatformGuid(id::kClientClsid)));
  // Only the control flag: no creation through the type description.
  CHECK(attr->wTypeFlags == TYPEFLAG_FCONTROL);
  CHECK(attr->cImplTypes == 2);
  struct Expected {
    const borvane::Guid& Iid;
    INT Flags;
  };
  const Expected expected[2] = {{id::kClientIid, IMPLTYPEFLAG_FDEFAULT},
                                {id::kClientEventsIid, IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE}};
  for (UINT i = 0; i < 2 && i < attr->cImplTypes; ++i) {
    INT flags = 0;
    HREFTYPE ref = 0;
    ITypeInfo* implemented = nullptr;
    CHECK(SUCCEEDED(info->GetImplTypeFlags(i, &flags)));
    CHECK(flags == expected[i].Flags);
    CHECK(SUCCEEDED(info->GetRefTypeOfImplType(i, &ref)));
    CHECK(SUCCEEDED(info->GetRefTypeInfo(ref, &implemented)));
    if (implemented == nullptr) continue;
    TYPEATTR* implemented_attr = nullptr;
    CHECK(SUCCEEDED(implemented->GetTypeAttr(&implemented_attr)));
    CHECK(IsEqualGUID(implemented_attr->guid, ToPlatformGuid(expected[i].Iid)));
    implemented->ReleaseTypeAttr(implemented_attr);
    implemented->Release();
  }
  info->ReleaseTypeAttr(attr);
}

void CheckEvents(ITypeInfo* info) {
  TYPEATTR* attr = nullptr;
  CHECK(SUCCEEDED(info->GetTypeAttr(&attr)));
  if (attr == nullptr) return;
  CHECK(attr->typekind == TKIND_DISPATCH);
  CHECK(IsEqualGUID(attr->guid, ToPlatformGuid(id::kClientEventsIid)));
  const WORD wanted = TYPEFLAG_FHIDDEN | TYPEFLAG_FNONEXTENSIBLE;
  CHECK((attr->wTypeFlags & wanted) == wanted);
  CHECK((attr->wTypeFlags & TYPEFLAG_FDUAL) == 0);
  CHECK(attr->cFuncs == 0);
  CHECK(attr->cVars == 0);
  info->ReleaseTypeAttr(attr);
}

void CheckRecord(ITypeInfo* info) {
  TYPEATTR* attr = nullptr;
  CHECK(SUCCEEDED(info->GetTypeAttr(&attr)));
  if (attr == nullptr) return;
  CHECK(attr->typekind == TKIND_RECORD);
  CHECK(IsEqualGUID(attr->guid, ToPlatformGuid(id::kSystemTimeId)));
  CHECK(attr->cVars == 8);
  CHECK(attr->cbSizeInstance == 16);
  const char* names[8] = {"wYear", "wMonth", "wDayOfWeek", "wDay",
                          "wHour", "wMinute", "wSecond", "wMilliseconds"};
  for (UINT i = 0; i < 8 && i < attr->cVars; ++i) {
    VARDESC* var = nullptr;
    CHECK(SUCCEEDED(info->GetVarDesc(i, &var)));
    if (var == nullptr) continue;
    CHECK(Name(info, var->memid) == names[i]);
    CHECK(var->varkind == VAR_PERINSTANCE);
    CHECK(var->oInst == 2 * i);
    CHECK(var->elemdescVar.tdesc.vt == VT_I2);
    info->ReleaseVarDesc(var);
  }
  info->ReleaseTypeAttr(attr);
}

}  // namespace

void CheckTypeLibrary(const std::wstring& path) {
  ITypeLib* library = nullptr;
  CHECK(SUCCEEDED(::LoadTypeLibEx(path.c_str(), REGKIND_NONE, &library)));
  if (library == nullptr) return;
  TLIBATTR* attr = nullptr;
  CHECK(SUCCEEDED(library->GetLibAttr(&attr)));
  if (attr != nullptr) {
    CHECK(IsEqualGUID(attr->guid, ToPlatformGuid(id::kTypeLibId)));
    CHECK(attr->wMajorVerNum == id::kTypeLibMajor);
    CHECK(attr->wMinorVerNum == id::kTypeLibMinor);
    CHECK(attr->lcid == id::kTypeLibLocale);
    CHECK((attr->wLibFlags & LIBFLAG_FCONTROL) != 0);
    library->ReleaseTLibAttr(attr);
  }
  BSTR name = nullptr;
  BSTR help = nullptr;
  CHECK(SUCCEEDED(library->GetDocumentation(-1, &name, &help, nullptr, nullptr)));
  CHECK(Narrow(name) == id::kTypeLibName);
  CHECK(Narrow(help) == id::kTypeLibHelp);
  ::SysFreeString(name);
  ::SysFreeString(help);

  CHECK(library->GetTypeInfoCount() == 4);
  const char* names[4] = {"_client", "client", "__client", "SYSTEMTIME"};
  void (*checks[4])(ITypeInfo*) = {CheckClientInterface, CheckClass, CheckEvents, CheckRecord};
  for (UINT i = 0; i < 4 && i < library->GetTypeInfoCount(); ++i) {
    ITypeInfo* info = nullptr;
    CHECK(SUCCEEDED(library->GetTypeInfo(i, &info)));
    if (info == nullptr) continue;
    const std::string found = Name(info, MEMBERID_NIL);
    if (found != names[i]) std::printf("  description %u is %s, expected %s\n", i, found.c_str(), names[i]);
    CHECK(found == names[i]);
    checks[i](info);
    info->Release();
  }
  library->Release();
}

}  // namespace wine_check
