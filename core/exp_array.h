// e^x over a whole array, bit for bit koru::Exp of every element.
#pragma once

#include <cstdint>

namespace koru {

// values[i] = Exp(values[i]) for i < n, several elements side by side.
void ExpOfArray(double* values, uint32_t n);

}  // namespace koru
