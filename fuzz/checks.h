// Checks that must hold after every call into the library, whatever it was
// handed, and the three fuzz targets built on them. The libFuzzer entries
// (fuzz_target.cpp) and the corpus replay of the test suite (tests/fuzz)
// call the same functions; a broken check aborts with a message naming the
// input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>

namespace koru_fuzz {

// Stops the run with `what` (about `subject`, when given) when `condition`
// is false: a finding. Messages are plain literals, free until they fire.
[[noreturn]] void Broken(const char* what, const char* subject);
inline void Require(bool condition, const char* what, const char* subject = nullptr) {
    if (!condition) [[unlikely]] Broken(what, subject);
}
void SetInputName(const std::string& name);
// A set of result codes, and the check that `code` is among them.
constexpr uint64_t Codes(std::initializer_list<int> codes) {
    uint64_t set = 0;
    for (int code : codes) set |= uint64_t{1} << code;
    return set;
}
void RequireCode(const char* exportName, int16_t code, uint64_t allowed);

// Every net in use has a block; every slab, link and store in use has the
// arrays its paradigm and variant call for, of the sizes its neighbours
// give; link lists and link ends point at each other.
void CheckEngineConsistent();
// A hash of everything a caller can observe of every net in use, and of the
// weight range the next link is drawn with unless told otherwise (not the
// current paradigm, variant or math mode: lookups load them before a later
// check refuses).
uint64_t EngineFingerprint(bool withRange = true);
int OpenDescriptorCount();  // -1 where it cannot be counted
void KillAllNets();         // and requires every slot free afterwards
void ResetLibrary();        // every net killed, float math, seed 1
std::string ScratchPath(const char* tag);
void WriteWholeFile(const std::string& path, const uint8_t* data, size_t size);

// The targets: a network file for RestoreNet, a shell file for LoadShell, a
// program of export calls.
void CheckNetworkFileInput(const uint8_t* data, size_t size);
void CheckShellFileInput(const uint8_t* data, size_t size);
void RunExportProgram(const uint8_t* data, size_t size);

}  // namespace koru_fuzz
