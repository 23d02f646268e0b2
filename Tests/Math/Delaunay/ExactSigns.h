#pragma once

// What the predicate tests compare against: exact rational values of float
// inputs, and signs.

#include <gmpxx.h>

namespace ExactSigns {

inline mpq_class exact(float v) { return mpq_class(static_cast<double>(v)); }

inline int signOf(double v) { return (v > 0.0) - (v < 0.0); }

} // namespace ExactSigns
