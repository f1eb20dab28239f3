// The first refusal among export calls made in order, or 0. The calls are
// the elements of a braced list, which C++ evaluates left to right (the
// operands of | or + it leaves in any order).
#pragma once

#include <cstdint>
#include <initializer_list>

#include "koru32.h"

namespace koru_test {

inline int16_t All(std::initializer_list<int16_t> codes) {
    for (int16_t code : codes) {
        if (code != KORU32_OK) return code;
    }
    return KORU32_OK;
}

}  // namespace koru_test
