// The three fuzz targets. Each takes one input, runs it through the library
// and checks every invariant; a broken one aborts. The libFuzzer entries and
// the corpus replay of the test suite call the same functions.
#pragma once

#include <cstddef>
#include <cstdint>

namespace koru_fuzz {

// The input is a network file handed to RestoreNet.
void CheckNetworkFileInput(const uint8_t* data, size_t size);

// The input is a shell file handed to LoadShell.
void CheckShellFileInput(const uint8_t* data, size_t size);

// The input is a program: a sequence of export calls with their arguments.
void RunExportProgram(const uint8_t* data, size_t size);

}  // namespace koru_fuzz
