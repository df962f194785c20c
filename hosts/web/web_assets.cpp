#include "hosts/web/web_assets.h"

namespace ocuvant::web {

const EmbeddedFile* FindEmbeddedFile(std::string_view name) {
  for (size_t i = 0; i < kEmbeddedFileCount; ++i) {
    if (name == kEmbeddedFiles[i].name) return &kEmbeddedFiles[i];
  }
  return nullptr;
}

const char* ContentTypeOf(std::string_view name) {
  if (name.ends_with(".html")) return "text/html; charset=utf-8";
  if (name.ends_with(".js")) return "text/javascript; charset=utf-8";
  if (name.ends_with(".css")) return "text/css; charset=utf-8";
  if (name.ends_with(".svg")) return "image/svg+xml";
  return "application/octet-stream";
}

}  // namespace ocuvant::web
