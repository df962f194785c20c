// Fuzz target of the engines' Process operations: one input picks the kind, the mode, the
// search rectangle and an image built from a base (flat, rendered eye or the input's own
// bytes) plus patches taken from the input.
#pragma once

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
