// Identification quality on the simulator, through whole sessions: 20 people enrolled
// with both eyes are each identified as themselves, and 20 people who were never
// enrolled are never identified.
#include <gtest/gtest.h>

#include <vector>

#include "tests/workflows/workflow_fixture.h"

namespace ocuvant::testing {
namespace {

constexpr int kPeople = 20;
constexpr uint64_t kEnrolledSeed = 3001;
constexpr uint64_t kStrangerSeed = 7001;

class IdentificationQuality : public WorkflowTest {};

TEST_F(IdentificationQuality, EnrolledFoundStrangersNot) {
  ctrl_->SetEnrollIrisTimeout(10);
  std::vector<int32_t> db;
  std::vector<int> owner;  // person of each template
  for (int p = 0; p < kPeople; ++p) {
    UseSubject(kEnrolledSeed + uint64_t(p));
    const RecordedEvent e = EnrollOk(control::ModeEnrollBoth);
    ASSERT_EQ(e.areas.size(), 6u) << "person " << p;
    for (int eye = 0; eye < 2; ++eye) {
      db.insert(db.end(), e.areas[2 + eye].begin(), e.areas[2 + eye].end());  // both steps
      owner.push_back(p);
      owner.push_back(p);
    }
  }
  const int32_t count = int32_t(owner.size());
  auto identify = [&](uint64_t seed) {
    UseSubject(seed);
    EXPECT_EQ(ctrl_->InitIris(), 1);
    const size_t before = events_.Count("MatchIrisEvent");
    EXPECT_EQ(ctrl_->MatchIris(nullptr, 0, db.data(), count, nullptr, 0, 0, 0), 1);
    EXPECT_TRUE(PumpUntil([&] { return events_.Count("MatchIrisEvent") > before; }, 15000));
    EXPECT_TRUE(PumpUntil([&] { return !ctrl_->m_irisOpen; }, 3000));
    RecordedEvent last;
    for (const RecordedEvent& e : events_.Events()) {
      if (e.name == "MatchIrisEvent") last = e;
    }
    if (last.ints.size() != 4) last.ints = {-1, -1, -1, -100};  // no event at all
    return last;
  };

  ctrl_->SetMatchIrisTimeout(5);
  int found = 0;
  for (int p = 0; p < kPeople; ++p) {
    const RecordedEvent e = identify(kEnrolledSeed + uint64_t(p));
    const int32_t index = e.ints[1];
    const bool ok = (e.ints[3] == 20 || e.ints[3] == 21) && index >= 0 && index < count &&
                    owner[size_t(index)] == p;
    EXPECT_TRUE(ok) << "person " << p << ": result " << e.ints[3] << ", index " << index;
    found += ok;
  }
  ctrl_->SetMatchIrisTimeout(1);
  int falseMatches = 0;
  for (int s = 0; s < kPeople; ++s) {
    const RecordedEvent e = identify(kStrangerSeed + uint64_t(s));
    EXPECT_EQ(e.ints, (std::vector<int32_t>{-1, -1, -1, 0})) << "stranger " << s;
    falseMatches += e.ints[3] != 0;
  }
  RecordProperty("identified", found);
  RecordProperty("false_matches", falseMatches);
}

}  // namespace
}  // namespace ocuvant::testing
