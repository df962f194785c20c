// The people enrolled from the page: one enrollment file per person in a folder, in
// the format `ocuvant enroll` writes (so `ocuvant match --db DIR/*.json` reads them and
// files written by `ocuvant enroll` into the folder show up here).
#pragma once

#include <array>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "hosts/ocuvant/enrollment_file.h"
#include "hosts/ocuvant/template_database.h"

namespace ocuvant::web {

struct GalleryPerson {
  std::string file;  // name inside the folder
  host::Enrollment enrollment;
};

class Gallery {
 public:
  explicit Gallery(std::string directory) : directory_(std::move(directory)) {}

  const std::string& Directory() const { return directory_; }
  // Every readable enrollment file of the folder, by file name; unreadable ones are
  // skipped (and named in `skipped`).
  std::vector<GalleryPerson> List(std::vector<std::string>* skipped = nullptr) const;
  // Writes `e` as LABEL.json (the label reduced to letters, digits, '-' and '_'; a
  // number added when taken). The folder is made when missing.
  bool Save(const host::Enrollment& e, std::string* file, std::string* error);
  // All templates of kind `kindName` of every person, in file order.
  host::TemplateDatabase Database(const std::string& kindName) const;
  // {"people":[{"file":..,"label":..,"eyes":{"big":["left","right"]}}],"skipped":[..]}
  std::string ListJson() const;

 private:
  std::string directory_;
  mutable std::mutex mutex_;  // one writer at a time picks a free name
};

}  // namespace ocuvant::web
