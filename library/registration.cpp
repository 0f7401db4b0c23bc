#include "library/registration.h"

#include <cstdio>

#include "library/identity.h"

namespace borvane {

namespace {

void Add(RegistrationData& data, const std::string& key, const std::string& name,
         const std::string& value) {
  bool known = false;
  for (const auto& existing : data.Keys) known = known || existing == key;
  if (!known) data.Keys.push_back(key);
  data.Values.push_back({key, name, value});
}

std::string Hex(unsigned value) {
  char text[16];
  std::snprintf(text, sizeof text, "%x", value);
  return text;
}

}  // namespace

std::string TypeLibVersionKey() {
  return Hex(identity::kTypeLibMajor) + "." + Hex(identity::kTypeLibMinor);
}

std::string TypeLibFileKey(const std::string& system_kind) {
  return "TypeLib\\" + identity::kTypeLibId.ToString() + "\\" + TypeLibVersionKey() + "\\" +
         Hex(identity::kTypeLibLocale) + "\\" + system_kind;
}

RegistrationData ClientRegistration(const std::string& library_path) {
  using namespace identity;
  const std::string progid(kClientProgId);
  const std::string clsid = kClientClsid.ToString();
  const std::string clsid_key = "CLSID\\" + clsid;
  RegistrationData data;

  Add(data, progid, "", progid);
  Add(data, progid + "\\CLSID", "", clsid);
  Add(data, clsid_key, "", progid);
  Add(data, clsid_key + "\\ProgID", "", progid);
  Add(data, clsid_key + "\\InprocServer32", "", library_path);
  Add(data, clsid_key + "\\InprocServer32", "ThreadingModel", std::string(kThreadingModel));
  data.Keys.push_back(clsid_key + "\\Control");
  // The status flags in decimal for every drawing aspect ("MiscStatus" with
  // "0") and for the content aspect ("MiscStatus\1").
  Add(data, clsid_key + "\\MiscStatus", "", "0");
  Add(data, clsid_key + "\\MiscStatus\\1", "", std::to_string(kClientMiscStatus));
  Add(data, clsid_key + "\\ToolboxBitmap32", "",
      library_path + ", " + std::to_string(kToolboxBitmapResource));
  Add(data, clsid_key + "\\TypeLib", "", kTypeLibId.ToString());
  Add(data, clsid_key + "\\Version", "",
      std::to_string(kTypeLibMajor) + "." + std::to_string(kTypeLibMinor));

  // The class is this library's while its server is this file; the ProgID
  // goes with it.
  const std::vector<RegistryValue> own_server{{clsid_key + "\\InprocServer32", "", library_path}};
  std::vector<RegistryValue> own_progid = own_server;
  own_progid.push_back({progid + "\\CLSID", "", clsid});
  data.Removals = {{progid, std::move(own_progid)}, {clsid_key, own_server}};
  return data;
}

RegistrationData TypeLibRegistration(const std::string& library_path,
                                     const std::string& system_kind) {
  using namespace identity;
  const std::string libid = kTypeLibId.ToString();
  const std::string version_key = "TypeLib\\" + libid + "\\" + TypeLibVersionKey();
  RegistrationData data;

  Add(data, version_key, "", std::string(kTypeLibHelp));
  Add(data, TypeLibFileKey(system_kind), "", library_path);
  Add(data, version_key + "\\FLAGS", "", std::to_string(kTypeLibFlags));
  Add(data, version_key + "\\HELPDIR", "", "");
  // Only this version's keys, and only while they name this file: other
  // versions of the type library stay registered.
  const std::vector<RegistryValue> own_version{{TypeLibFileKey(system_kind), "", library_path}};
  data.Removals.push_back({version_key, own_version});

  // Both interfaces go through the standard automation marshaller.
  const std::string marshaller = "{00020424-0000-0000-C000-000000000046}";
  struct Named {
    const Guid& Iid;
    const char* Name;
  };
  for (const Named& item : {Named{kClientIid, "_client"}, Named{kClientEventsIid, "__client"}}) {
    const std::string key = "Interface\\" + item.Iid.ToString();
    Add(data, key, "", item.Name);
    Add(data, key + "\\ProxyStubClsid", "", marshaller);
    Add(data, key + "\\ProxyStubClsid32", "", marshaller);
    Add(data, key + "\\TypeLib", "", libid);
    Add(data, key + "\\TypeLib", "Version", TypeLibVersionKey());
    // The interface keys go with this version's type library, unless a
    // newer registration routed them to another version.
    std::vector<RegistryValue> own_interface = own_version;
    own_interface.push_back({key + "\\TypeLib", "", libid});
    own_interface.push_back({key + "\\TypeLib", "Version", TypeLibVersionKey()});
    data.Removals.push_back({key, std::move(own_interface)});
  }
  return data;
}

}  // namespace borvane
