// Checks that must hold after every call into the library, whatever it was
// handed: the codes an export may answer, the shape of the net table and of
// every record in it, a fingerprint of everything a caller can observe (to
// prove that a refused call changed nothing), and the count of open files.
// The fuzz targets and the corpus replay in the test suite share them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>

namespace koru_fuzz {

// Stops the run with `what` when `condition` is false: a finding. The
// fuzzer turns the abort into a crash report with the input that caused it.
// `subject`, when given, names the export or object concerned. Messages are
// plain literals so that checking costs nothing until a check fails.
[[noreturn]] void Broken(const char* what, const char* subject);
inline void Require(bool condition, const char* what, const char* subject = nullptr) {
    if (!condition) [[unlikely]] Broken(what, subject);
}

// The input being replayed, named in every failure message.
void SetInputName(const std::string& name);

// Whether `code` is among `allowed`; otherwise a finding naming `exportName`.
void RequireCode(const char* exportName, int16_t code, std::initializer_list<int16_t> allowed);

// Every net in use has a block; every slab, link and store in use has the
// arrays its paradigm and variant call for, of the sizes its neighbours
// give; link lists and link ends point at each other; every array is in the
// net's format.
void CheckEngineConsistent();

// A hash of every observable value of every net in use (entries, flags,
// records and the bytes of every array, slab link lists as link numbers) and
// of the weight range the next link will be drawn with. The current
// paradigm, variant and math mode are left out: lookups load them before a
// later check refuses the call.
uint64_t EngineFingerprint();

// Number of open file descriptors of the process (-1 where it cannot be
// counted, and the check is then skipped).
int OpenDescriptorCount();

// Kills every net in use and requires that afterwards no slot is in use.
void KillAllNets();

// A fresh start for an input: every net killed, float math mode, seed 1.
void ResetLibrary();

// A path for a scratch file of this process, distinct per `tag`.
std::string ScratchPath(const char* tag);

// Writes `size` bytes to `path`, replacing the file.
void WriteWholeFile(const std::string& path, const uint8_t* data, size_t size);

}  // namespace koru_fuzz
