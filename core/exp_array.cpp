#include "core/exp_array.h"

#include "core/exp_map.h"
#include "core/portable_math.h"

namespace koru {

namespace {

struct PlainExp {
    static double Argument(double x) { return x; }
    static double Finish(double, double, double e) { return e; }
    static double Scalar(double x) { return Exp(x); }
};

}  // namespace

KORU_VECTOR_CLONES void ExpOfArray(double* values, uint32_t n) { MapThroughExp(values, n, PlainExp{}); }

}  // namespace koru
