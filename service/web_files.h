#pragma once
// The web panel as the service serves it: the page at "/", the element's
// module script and its wasm, read once from the folder the web build left
// them in. Each file carries its type, a strong validator (ETag) and, when
// the build left one, a gzip copy for clients that accept it.

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace borvane {

struct WebFile {
  std::string Type;
  std::string Body;
  std::string Gzip;  // empty: no compressed copy
  std::string ETag;      // quoted
  std::string GzipETag;  // of the compressed copy: other bytes, another validator
};

class WebFiles {
 public:
  // Reads borvane-client.js and borvane-client.wasm (and their .gz copies)
  // from `folder`; nothing when either is missing.
  static std::optional<WebFiles> Load(const std::string& folder);

  // The file at a path (query left off), or nullptr.
  const WebFile* Find(std::string_view path) const;

 private:
  WebFile m_Page;
  WebFile m_Script;
  WebFile m_Wasm;
};

// The folder the web panel is read from: $BORVANE_WEB_DIR when set, else
// web/ beside the program (the build tree), else share/borvane/web of the
// installed tree (the program in libexec/borvane/ or bin/). Empty when
// none holds the module script.
std::string FindWebFolder(const std::string& program_folder);

}  // namespace borvane
