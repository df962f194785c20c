// The enrollment file the `ocuvant enroll` command writes and `ocuvant match` reads:
// JSON with the person's label and, per template kind and eye, the 1024-byte template
// area (step-0 template, then step-1 template) as 2048 lowercase hexadecimal digits.
//
//   {"format":"ocuvant-enrollment","version":1,"label":"alice",
//    "templates":{"big":{"left":"<2048 hex digits>","right":"<2048 hex digits>"}}}
//
// An eye that was not enrolled is absent.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string>

namespace ocuvant::host {

using TemplateArea = std::array<uint8_t, 1024>;

struct Enrollment {
  std::string label;
  // kind name ("small", "big", "q5") -> eye (0 left, 1 right) -> template area.
  std::map<std::string, std::map<int, TemplateArea>> templates;
};

std::string EnrollmentToJson(const Enrollment& e);
bool EnrollmentFromJson(const std::string& text, Enrollment* e, std::string* error);

bool WriteEnrollmentFile(const std::string& path, const Enrollment& e, std::string* error);
bool ReadEnrollmentFile(const std::string& path, Enrollment* e, std::string* error);

}  // namespace ocuvant::host
