#include "hosts/ocuvant/template_database.h"

#include <algorithm>
#include <cstring>

namespace ocuvant::host {
namespace {

constexpr size_t kTemplateBytes = 512;

bool AllZero(const uint8_t* bytes, size_t n) {
  return std::all_of(bytes, bytes + n, [](uint8_t b) { return b == 0; });
}

}  // namespace

void AddToDatabase(const Enrollment& e, const std::string& kindName, TemplateDatabase* db) {
  const auto kind = e.templates.find(kindName);
  if (kind == e.templates.end()) return;
  for (const auto& [eye, area] : kind->second) {
    for (int step = 0; step < 2; ++step) {
      const uint8_t* t = area.data() + step * kTemplateBytes;
      if (AllZero(t, kTemplateBytes)) continue;
      const size_t at = db->words.size();
      db->words.resize(at + kTemplateBytes / 4);
      std::memcpy(db->words.data() + at, t, kTemplateBytes);
      db->entries.push_back({e.label, eye, step});
    }
  }
}

Enrollment EnrollmentOf(const std::string& label, const std::string& kindName,
                        const std::array<std::array<uint8_t, 1024>, 2>& areas) {
  Enrollment e;
  e.label = label;
  for (int eye = 0; eye < 2; ++eye) {
    if (!AllZero(areas[eye].data(), areas[eye].size())) e.templates[kindName][eye] = areas[eye];
  }
  return e;
}

}  // namespace ocuvant::host
