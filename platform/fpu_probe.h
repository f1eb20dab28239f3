// Whether the processor has a floating-point unit: it decides the number
// format of new nets when the library is loaded.
#pragma once

namespace koru::platform {

bool HasFloatingPointProcessor();

}  // namespace koru::platform
