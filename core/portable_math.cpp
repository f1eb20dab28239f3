// Provisional: the runtime library's functions, until the engine's own
// implementations replace them.
#include "core/portable_math.h"

#include <cmath>

namespace koru {

double Exp(double x) { return std::exp(x); }
double Tanh(double x) { return std::tanh(x); }
double Sin(double x) { return std::sin(x); }
double Cos(double x) { return std::cos(x); }

}  // namespace koru
