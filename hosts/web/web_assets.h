// The page's static files, compiled into the program (nothing is read from disk).
#pragma once

#include <cstddef>
#include <string_view>

namespace ocuvant::web {

struct EmbeddedFile {
  const char* name;  // file name, served as /NAME
  const unsigned char* data;
  size_t size;
};

extern const EmbeddedFile kEmbeddedFiles[];
extern const size_t kEmbeddedFileCount;

// The file named `name`, or null.
const EmbeddedFile* FindEmbeddedFile(std::string_view name);
// The Content-Type for a file name by its extension.
const char* ContentTypeOf(std::string_view name);

}  // namespace ocuvant::web
