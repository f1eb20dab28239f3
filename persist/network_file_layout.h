// The network file: a 530-byte little-endian header, the count arrays of
// pattern-unit nets, the link arrays, then the caller's own bytes. No magic
// number or version: the two table sizes at the start are the only check a
// file carries of its own.
//
// The library and the command-line program both read the layout from here;
// the header needs nothing but the public header and the net-type table.
#pragma once

#include <cstdint>

#include "core/net_types.h"

namespace koru::network_file {

inline constexpr int kTableEntries = 32;      // entries of the slab table and of the link table
inline constexpr uint16_t kFileFixed824 = 0;  // format field: 8.24 fixed point
inline constexpr uint16_t kFileFloat32 = 3;   // format field: 32-bit float
inline constexpr uint32_t kElementBytes = 4;  // bytes of one element of the data section

inline constexpr uint32_t kSlabTableSize = 0;   // u16, always 32
inline constexpr uint32_t kLinkTableSize = 2;   // u16, always 32
inline constexpr uint32_t kNetType = 4;         // u16
inline constexpr uint32_t kParadigm = 6;        // u16
inline constexpr uint32_t kVariant = 8;         // u16, written, not read back
inline constexpr uint32_t kFormat = 10;         // u16: 0 for 8.24, 3 for float32
inline constexpr uint32_t kLinksInUse = 12;     // u16, written, not read back
inline constexpr uint32_t kSlabsInUse = 14;     // u16, written, not read back
inline constexpr uint32_t kNeuronCounts = 16;   // 32 x u16; 0 for a slab not in use
inline constexpr uint32_t kKinds = 80;          // 32 x i16
inline constexpr uint32_t kTransfers = 144;     // 32 x i16
inline constexpr uint32_t kStatuses = 208;      // 32 x u16
inline constexpr uint32_t kSources = 272;       // 32 x u16, slab numbers
inline constexpr uint32_t kDests = 336;         // 32 x u16, slab numbers
inline constexpr uint32_t kWeightCounts = 400;  // 32 x u32; 0 for a link not in use
inline constexpr uint32_t kPatternCount = 528;  // u16
inline constexpr uint32_t kHeaderBytes = 530;

// Offset of entry i of a per-slab or per-link table of 2-byte fields, and of
// the 4-byte weight counts.
inline constexpr uint32_t Entry16(uint32_t table, int i) { return table + 2 * static_cast<uint32_t>(i); }
inline constexpr uint32_t Entry32(uint32_t table, int i) { return table + 4 * static_cast<uint32_t>(i); }

// Slabs whose deltas hold per-neuron counts, saved in the count arrays: the
// output slabs of PNN nets and the hidden slabs of GRNN nets.
inline constexpr bool CarriesCounts(uint16_t paradigm, int kind) { return SlabKeepsCounts(paradigm, kind); }

// Net types whose links' weight changes follow their weights: momentum and
// batch backpropagation. The step sizes of the adaptive rule are not saved.
inline constexpr bool SavesChanges(uint16_t netType) { return FileSavesChanges(netType); }

}  // namespace koru::network_file
