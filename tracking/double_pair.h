// Two doubles worked on at once (SSE2 on x86-64, plain code elsewhere): each lane is computed
// and rounded exactly as a lone double would be, so a loop can halve its slow divisions and
// square roots without changing a result.
#pragma once

using DoublePair = double __attribute__((vector_size(16)));
