// The three fuzz targets (targets.cpp): each runs one input through the
// library and checks, after every call, what must hold whatever the library
// was handed. The libFuzzer entries (fuzz_target.cpp) and the corpus replay
// of the test suite (tests/fuzz) call the same functions; a broken check
// aborts with a message naming the input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace koru_fuzz {

// The input named in the messages of broken checks ("" for none).
void SetInputName(const std::string& name);

// A network file for RestoreNet, a shell file for LoadShell, a program of
// export calls.
void CheckNetworkFileInput(const uint8_t* data, size_t size);
void CheckShellFileInput(const uint8_t* data, size_t size);
void RunExportProgram(const uint8_t* data, size_t size);

}  // namespace koru_fuzz
