#include "hosts/web/gallery.h"

#include <algorithm>
#include <filesystem>

#include "hosts/ocuvant/json_line.h"

namespace ocuvant::web {

namespace fs = std::filesystem;
using host::Cat;
using host::JsonString;

std::vector<GalleryPerson> Gallery::List(std::vector<std::string>* skipped) const {
  std::vector<GalleryPerson> people;
  std::error_code ec;
  std::vector<fs::path> files;
  for (fs::directory_iterator it(directory_, ec), end; !ec && it != end; it.increment(ec)) {
    if (it->path().extension() == ".json" && it->is_regular_file(ec)) files.push_back(it->path());
  }
  std::sort(files.begin(), files.end());
  for (const fs::path& p : files) {
    GalleryPerson person;
    std::string error;
    person.file = p.filename().string();
    if (host::ReadEnrollmentFile(p.string(), &person.enrollment, &error)) {
      people.push_back(std::move(person));
    } else if (skipped != nullptr) {
      skipped->push_back(person.file);
    }
  }
  return people;
}

bool Gallery::Save(const host::Enrollment& e, std::string* file, std::string* error) {
  std::string base;
  for (char c : e.label) {
    if (std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_') base += c;
    if (base.size() >= 40) break;
  }
  if (base.empty()) base = "person";
  std::lock_guard<std::mutex> lock(mutex_);
  std::error_code ec;
  fs::create_directories(directory_, ec);
  for (int n = 1; n < 10000; ++n) {
    const std::string name = n == 1 ? base + ".json" : Cat(base, "-", std::to_string(n), ".json");
    const fs::path path = fs::path(directory_) / name;
    if (fs::exists(path, ec)) continue;
    if (!host::WriteEnrollmentFile(path.string(), e, error)) return false;
    *file = name;
    return true;
  }
  *error = "no free file name for " + base;
  return false;
}

host::TemplateDatabase Gallery::Database(const std::string& kindName) const {
  host::TemplateDatabase db;
  for (const GalleryPerson& p : List()) host::AddToDatabase(p.enrollment, kindName, &db);
  return db;
}

std::string Gallery::ListJson() const {
  std::vector<std::string> skipped;
  std::string out = "{\"people\":[";
  bool first = true;
  for (const GalleryPerson& p : List(&skipped)) {
    out += Cat(first ? "" : ",", "{\"file\":", JsonString(p.file),
               ",\"label\":", JsonString(p.enrollment.label), ",\"eyes\":{");
    bool firstKind = true;
    for (const auto& [kind, eyes] : p.enrollment.templates) {
      out += Cat(firstKind ? "" : ",", JsonString(kind), ":[");
      bool firstEye = true;
      for (const auto& [eye, area] : eyes) {
        out += Cat(firstEye ? "" : ",", eye == 0 ? "\"left\"" : "\"right\"");
        firstEye = false;
      }
      out += "]";
      firstKind = false;
    }
    out += "}}";
    first = false;
  }
  out += "],\"skipped\":[";
  for (size_t i = 0; i < skipped.size(); ++i) out += Cat(i ? "," : "", JsonString(skipped[i]));
  return out + "]}";
}

}  // namespace ocuvant::web
