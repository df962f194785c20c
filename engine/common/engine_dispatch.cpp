// The engine of a template kind.
#include "engine/common/engine_ops.h"

namespace ocuvant::engine {

const EngineOps& Engine(TemplateKind kind) {
  switch (kind) {
    case KindBig:
      return smallbig::BigEngine();
    case KindQ5:
      return q5::Q5Engine();
    case KindSmall:
    default:  // callers validate the kind; never index past the three engines
      return smallbig::SmallEngine();
  }
}

}  // namespace ocuvant::engine
