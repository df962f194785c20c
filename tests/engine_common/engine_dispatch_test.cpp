// Dispatch by kind reaches each engine's own operation table.
#include <gtest/gtest.h>

#include "engine/common/engine_ops.h"

namespace ocuvant::engine {
namespace {

TEST(EngineDispatch, EachKindHasItsOwnTable) {
  for (TemplateKind kind : {KindSmall, KindBig, KindQ5}) {
    const EngineOps& ops = Engine(kind);
    EXPECT_EQ(ops.kind, kind);
    EXPECT_NE(ops.InitEngine, nullptr);
    EXPECT_NE(ops.ProcessEnrollImage, nullptr);
    EXPECT_NE(ops.MatchTemplate, nullptr);
    EXPECT_EQ(ops.GetLocationResult == nullptr, kind == KindQ5);
  }
  EXPECT_NE(&Engine(KindSmall), &Engine(KindBig));
  // A kind outside 0-2 never reads past the three engines.
  EXPECT_EQ(Engine(static_cast<TemplateKind>(7)).kind, KindSmall);
}

}  // namespace
}  // namespace ocuvant::engine
