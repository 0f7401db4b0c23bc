#include "service/web_files.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace borvane {

namespace {

// The page: the panel, checking against the service that served it.
constexpr std::string_view kPage = R"(<!DOCTYPE html>
<html lang="zh-CN">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>北京时间校准</title>
<link rel="icon" href="data:,">
<script type="module" src="/borvane-client.js"></script>
<style>body{margin:16px;background:#fff}</style>
</head>
<body>
<borvane-client></borvane-client>
<noscript>The time panel needs JavaScript and WebAssembly.</noscript>
</body>
</html>
)";

bool ReadWhole(const std::filesystem::path& path, std::string& out) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return false;
  std::ostringstream text;
  text << file.rdbuf();
  out = text.str();
  return static_cast<bool>(file) || file.eof();
}

// FNV-1a over the body and its length: a strong validator that changes
// whenever the bytes do (the files change only with a new build).
std::string Validator(const std::string& body) {
  std::uint64_t hash = 1469598103934665603ULL;
  for (const unsigned char c : body) {
    hash ^= c;
    hash *= 1099511628211ULL;
  }
  char text[48];
  std::snprintf(text, sizeof text, "\"%zx-%016llx\"", body.size(),
                static_cast<unsigned long long>(hash));
  return text;
}

WebFile Make(std::string type, std::string body, std::string gzip) {
  WebFile file{std::move(type), std::move(body), std::move(gzip), {}, {}};
  file.ETag = Validator(file.Body);
  if (!file.Gzip.empty()) file.GzipETag = Validator(file.Gzip);
  return file;
}

}  // namespace

std::optional<WebFiles> WebFiles::Load(const std::string& folder) {
  const std::filesystem::path base(folder);
  std::string script, wasm, script_gz, wasm_gz;
  if (!ReadWhole(base / "borvane-client.js", script) || !ReadWhole(base / "borvane-client.wasm", wasm)) {
    return std::nullopt;
  }
  ReadWhole(base / "borvane-client.js.gz", script_gz);
  ReadWhole(base / "borvane-client.wasm.gz", wasm_gz);
  WebFiles files;
  files.m_Page = Make("text/html; charset=utf-8", std::string(kPage), {});
  files.m_Script = Make("text/javascript; charset=utf-8", std::move(script), std::move(script_gz));
  files.m_Wasm = Make("application/wasm", std::move(wasm), std::move(wasm_gz));
  return files;
}

const WebFile* WebFiles::Find(std::string_view path) const {
  if (path == "/" || path == "/index.html") return &m_Page;
  if (path == "/borvane-client.js") return &m_Script;
  if (path == "/borvane-client.wasm") return &m_Wasm;
  return nullptr;
}

std::string FindWebFolder(const std::string& program_folder) {
  namespace fs = std::filesystem;
  const char* chosen = std::getenv("BORVANE_WEB_DIR");
  if (chosen != nullptr && *chosen != '\0') return chosen;
  const fs::path here(program_folder);
  for (const fs::path& folder : {here / "web", here / ".." / ".." / "share" / "borvane" / "web",
                                 here / ".." / "share" / "borvane" / "web"}) {
    std::error_code error;
    if (fs::exists(folder / "borvane-client.js", error)) return folder.lexically_normal().string();
  }
  return {};
}

}  // namespace borvane
