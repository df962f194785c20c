// A template database for MatchIris built from enrollment files: every enrolled eye
// and step contributes its 512-byte template; each index remembers whose it is.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "hosts/ocuvant/enrollment_file.h"

namespace ocuvant::host {

struct DatabaseEntry {
  std::string label;
  int eye = 0;   // 0 left, 1 right
  int step = 0;  // enrollment step the template comes from
};

struct TemplateDatabase {
  std::vector<int32_t> words;  // count templates of 128 int32, back to back
  std::vector<DatabaseEntry> entries;
  int32_t count() const { return static_cast<int32_t>(entries.size()); }
};

// Adds the templates of kind `kindName` of `e` (all-zero templates are skipped).
void AddToDatabase(const Enrollment& e, const std::string& kindName, TemplateDatabase* db);

// The enrollment of an outcome's template areas (eyes whose areas are all zero left out).
Enrollment EnrollmentOf(const std::string& label, const std::string& kindName,
                        const std::array<std::array<uint8_t, 1024>, 2>& areas);

}  // namespace ocuvant::host
