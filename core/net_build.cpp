// Making nets, slabs and links.
#include "core/net_build.h"

#include <cmath>
#include <new>

#include "platform/memory.h"

namespace koru {

int16_t BuildNet(int16_t net, uint16_t type, uint16_t mathFormat) {
    if (!IsValidNetNumber(net)) return KORU32_ERR_BAD_NET_NUMBER;
    NetEntry& entry = netTable[net];
    if (entry.paradigm != 0) return KORU32_ERR_NET_IN_USE;
    const NetTypeRow* row = FindNetType(type);
    if (row == nullptr) return KORU32_ERR_BAD_NET_TYPE;

    // The block comes zeroed, so every used-flag starts clear.
    void* memory = platform::AllocateBlock(sizeof(NetBlock));
    if (memory == nullptr) return KORU32_ERR_NO_MEMORY;
    entry.block = new (memory) NetBlock;
    entry.paradigm = row->paradigm;
    entry.variant = VariantNumber(row->variant);
    entry.netType = type;
    // Probabilistic and general regression nets compute in floating point
    // only, so their arrays are float32 whatever the math mode: an 8.24 array
    // would be misread. Every other net takes the math mode given.
    entry.format = FindParadigm(row->paradigm)->floatOnly ? uint16_t{kFloat32} : mathFormat;
    return KORU32_OK;
}

int16_t AttachSlab(NetEntry& net, int slab, uint32_t neurons, uint8_t kind) {
    // The arrays take the net's own format, which every paradigm routine
    // assumes, even if SetMath has changed the mode since the net was made.
    const int16_t code = SetUpSlab(net.block->slabs[slab], neurons, kind, net.paradigm, net.format);
    if (code != KORU32_OK) return code;
    net.block->slabUsed[slab] = 1;
    return KORU32_OK;
}

int16_t BuildSlab(int16_t net, int16_t slab, int16_t neurons, int16_t kind) {
    if (!IsValidNetNumber(net)) return KORU32_ERR_BAD_NET_NUMBER;
    if (slab < 0 || slab >= kSlabsPerNet) return KORU32_ERR_BAD_SLAB_NUMBER;
    NetEntry& entry = netTable[net];
    if (entry.paradigm == 0) return KORU32_ERR_NET_NOT_IN_USE;
    if (kind < KORU32_SLAB_INPUT || kind > KORU32_SLAB_OUTPUT) return KORU32_ERR_BAD_SLAB_KIND;
    if (neurons < 1) return KORU32_ERR_BAD_SIZE;
    if (entry.block->slabUsed[slab] != 0) return KORU32_ERR_SLAB_EXISTS;
    return AttachSlab(entry, slab, static_cast<uint32_t>(neurons), static_cast<uint8_t>(kind));
}

int16_t SetSlabTransfer(int16_t net, int16_t slab, int16_t code) {
    SlabLookup found;
    if (int16_t result = FindSlab(net, slab, found)) return result;
    if (found.net->paradigm != KORU32_PARADIGM_BACKPROP) return KORU32_ERR_WRONG_PARADIGM;
    if (code < 0 || code > 7) return KORU32_ERR_BAD_CODE;
    found.slab->transfer = static_cast<int8_t>(code);
    return KORU32_OK;
}

int16_t AttachLink(NetEntry& net, int link, SlabRecord& dest, SlabRecord& source, double weightRange) {
    const int16_t code =
        SetUpLink(net.block->links[link], dest, source, NetTypeOf(net.netType), net.format, weightRange);
    if (code != KORU32_OK) return code;
    net.block->linkUsed[link] = 1;
    return KORU32_OK;
}

int16_t BuildLink(int16_t net, int16_t link, float range, int16_t source, int16_t dest, double& weightRange) {
    if (link < 0 || link >= kLinksPerNet) return KORU32_ERR_BAD_LINK_NUMBER;
    SlabLookup to, from;
    if (int16_t code = FindSlab(net, dest, to)) return code;
    if (int16_t code = FindSlab(net, source, from)) return code;
    NetEntry& entry = *to.net;
    if (entry.block->linkUsed[link] != 0) return KORU32_ERR_LINK_EXISTS;
    // A NaN or infinite range would fill the link with NaN or infinite
    // weights (and the adaptive rule's step sizes with it): refused.
    if (!std::isfinite(range)) return KORU32_ERR_NOT_FINITE;
    // A refused link leaves the weight range as it was (the shell import
    // draws with it later): the full-slab test runs before it is set, and a
    // set-up that runs out of memory does not set it.
    if (to.slab->inCount >= kLinksPerSlabSide || from.slab->outCount >= kLinksPerSlabSide) {
        return KORU32_ERR_TOO_MANY_LINKS;
    }
    const double linkRange = std::fabs(range * 2.0);
    if (int16_t code = AttachLink(entry, link, *to.slab, *from.slab, linkRange)) return code;
    weightRange = linkRange;
    return KORU32_OK;
}

}  // namespace koru
