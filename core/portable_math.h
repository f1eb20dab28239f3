// Elementary functions computed by the engine itself in plain double
// arithmetic, so that a net gives the same bits on every platform and
// compiler (runtime libraries differ in their last bits).
//
// Each result is within one unit in the last place of the exact value
// (Sin and Cos for |x| < 1.6e6; beyond that they stay in [-1, 1] but lose
// accuracy). NaN gives NaN.
#pragma once

namespace koru {

// e^x; +infinity above ln(largest double) = 709.7827..., subnormal results
// down to -745.13..., 0 below.
double Exp(double x);
// tanh x; exactly +-1 from |x| = 22 on (and for infinities), x itself for
// tiny x; Tanh(-x) == -Tanh(x) bit for bit.
double Tanh(double x);
// sin x and cos x; NaN for infinities; Sin(-x) == -Sin(x) and
// Cos(-x) == Cos(x) bit for bit.
double Sin(double x);
double Cos(double x);

// The exact product a * b == product + error from plain multiplications
// (no fused multiply-add), for operands far from overflow and underflow: the
// building block of Tanh's division, reachable for its own test.
void ExactProduct(double a, double b, double& product, double& error);

}  // namespace koru
