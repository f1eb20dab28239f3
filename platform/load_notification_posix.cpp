// The library's load notification: runs the engine's start-up once, when the
// shared library is loaded into the process.
#include "core/engine.h"

namespace {

__attribute__((constructor)) void OnProcessAttach() { koru::StartUp(); }

}  // namespace
