// Elementary functions computed by the engine itself in plain double
// arithmetic, so that a net gives the same bits on every platform and
// compiler (runtime libraries differ in their last bits).
#pragma once

namespace koru {

double Exp(double x);
double Tanh(double x);
double Sin(double x);
double Cos(double x);

}  // namespace koru
