// Building a net: the net, its slabs and links, with the checks every caller
// of construction runs in the same order. The construction exports, the
// network-file reader and the shell import all build through these calls.
//
// Process-wide settings (the math mode for the next net, the weight range)
// come in as arguments; the caller at the export boundary passes its own.
#pragma once

#include <cstdint>

#include "core/engine.h"

namespace koru {

// Makes net `net` of `type`. Its arrays take `mathFormat` (kFixed824 or
// kFloat32), except those of the float-only paradigms. Checks net number,
// a free slot and the type in that order.
int16_t BuildNet(int16_t net, uint16_t type, uint16_t mathFormat);

// Makes slab `slab` of `neurons` neurons of `kind` in the net, checking net
// number, slab number, net in use, kind, size and a free slot in that order.
// It makes no lookup, so the math mode stays as it is.
int16_t BuildSlab(int16_t net, int16_t slab, int16_t neurons, int16_t kind);

// Sets the transfer code of a backpropagation slab: the slab lookup, then
// the paradigm, then the code (0..7).
int16_t SetSlabTransfer(int16_t net, int16_t slab, int16_t code);

// Makes link `link` from `source` to `dest`, its weights drawn from an
// interval |2 range| wide: link number, the two slab lookups (destination
// first), a free slot, a finite range, room on both slabs, then the arrays.
// `weightRange`, the process-wide range later draws use, is
// set to the link's range only when the link is made.
int16_t BuildLink(int16_t net, int16_t link, float range, int16_t source, int16_t dest, double& weightRange);

// The set-up shared by the calls above and the shell import, once every check
// has passed: the records are made in the net's own format and marked in use.
int16_t AttachSlab(NetEntry& net, int slab, uint32_t neurons, uint8_t kind);
int16_t AttachLink(NetEntry& net, int link, SlabRecord& dest, SlabRecord& source, double weightRange);

}  // namespace koru
