/*
 * koru32.h - the public interface of the KORU32 neural-network engine.
 *
 * A caller makes nets in 128 numbered slots (0..127), gives each net slabs
 * (layers of neurons, 0..31), links (full weight matrices between two slabs,
 * 0..31) and pattern stores (tables of records, 0..5), then drives one of four
 * paradigms: backpropagation, probabilistic nets (PNN), general regression
 * nets (GRNN) and learning vector quantisation (LVQ).
 *
 * Every export takes every argument by address and returns a 16-bit result
 * code (KORU32_OK, or one of the KORU32_ERR_ codes of koru32_result_codes.h,
 * which GetResultText describes in words); outputs are written
 * only on success unless a comment says otherwise. Neurons and pattern units
 * are numbered from 1; in backpropagation weights, source neuron 0 is the
 * bias. Values travel as 32-bit floats, or as 16-bit integers scaled by 10000.
 *
 * Threads. The library keeps process-wide state (the table of nets, the
 * math mode, the current net's paradigm, the weight range, the training
 * settings, the file header buffer) with no locks and nothing per thread.
 * A program may call it from any thread, and from different threads over
 * time, provided no two calls run at once: the caller serialises its calls
 * (one thread at a time, or a lock of its own around every call), and each
 * call sees everything the calls before it did, whichever thread made them.
 * Two calls at the same moment are not allowed, not even on different nets:
 * every call that looks up a slab or a link of a net writes the shared
 * math mode (it becomes that net's format, see SetMath), so a call on one
 * thread would change the format of a net another thread is making.
 *
 * Non-finite numbers. The rates, momentum, weight ranges and smoothing
 * factors that steer training and initialisation are checked: one that is
 * NaN or infinite is refused (the code is named at each export) and the
 * call changes nothing. Data are not checked: a NaN or an infinity put into
 * a slab, a store, a weight, a count or a target (and AddSlab's factor,
 * which scales slab values like data) is kept as given in a float net and
 * spreads through every result computed from it (a NaN input trains the
 * weights it reaches to NaN), while an 8.24 net stores it as 0. The library
 * never traps on such values: it raises no signal, does not change the
 * floating-point environment, and reports nothing about them.
 */
#ifndef KORU32_H
#define KORU32_H

#include <stdint.h>

#include "koru32_result_codes.h"

/* Version of this header. The library's build takes its version from these
 * lines; GetLibraryVersion tells which version a program has loaded, for a
 * comparison with KORU32_VERSION_NUMBER at run time. Releases that keep the
 * major number keep every export and every result code. */
#define KORU32_VERSION_MAJOR 1
#define KORU32_VERSION_MINOR 0
#define KORU32_VERSION_PATCH 0
#define KORU32_VERSION_NUMBER \
    (KORU32_VERSION_MAJOR * 10000 + KORU32_VERSION_MINOR * 100 + KORU32_VERSION_PATCH)

/* Calling convention: standard call on 32-bit Windows, the platform's own
 * convention everywhere else. */
#if defined(_WIN32) && !defined(_WIN64)
#define KORU32_CALL __stdcall
#else
#define KORU32_CALL
#endif

/* Visibility: the one place that decides what the library exports. On
 * Windows the library's export list names the exports; elsewhere only the
 * functions marked here are visible from the shared library. */
#if defined(KORU32_BUILDING_LIBRARY) && !defined(_WIN32)
#define KORU32_API __attribute__((visibility("default")))
#else
#define KORU32_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Result codes (values are fixed and never change) ------------------ */
/* KORU32_OK and the KORU32_ERR_ codes, one per entry of the table in
 * koru32_result_codes.h, where each code's meaning is given; GetResultText
 * returns the same text at run time. */
#define KORU32_RESULT_CODE_ENUMERATOR(name, value, text) KORU32_##name = value,
enum { KORU32_RESULT_CODES(KORU32_RESULT_CODE_ENUMERATOR) };
#undef KORU32_RESULT_CODE_ENUMERATOR

/* ---- Net types (the argument of MakeNet) -------------------------------- */
enum {
    KORU32_NET_BP_PLAIN = 1,          /* backpropagation, plain gradient steps */
    KORU32_NET_BP_MOMENTUM = 2,       /* backpropagation, steps with momentum */
    KORU32_NET_BP_BATCH = 3,          /* backpropagation, accumulated batch steps */
    KORU32_NET_LVQ_DISTANCE = 4,      /* LVQ, squared-distance score */
    KORU32_NET_LVQ_DOT = 5,           /* LVQ, dot-product score, unit-length weight columns */
    KORU32_NET_PNN_DISTANCE = 6,      /* PNN, squared distance */
    KORU32_NET_PNN_DOT = 7,           /* PNN, dot product */
    KORU32_NET_GRNN_DISTANCE = 8,     /* GRNN, squared distance */
    KORU32_NET_GRNN_CITY_BLOCK = 9,   /* GRNN, city-block distance */
    KORU32_NET_PNN_CITY_BLOCK = 10,   /* PNN, city-block distance */
    KORU32_NET_BP_ADAPTIVE = 11       /* backpropagation, adaptive per-weight step sizes */
};

/* ---- Paradigms and variants, as a net records them ---------------------- */
enum {
    KORU32_PARADIGM_BACKPROP = 1,
    KORU32_PARADIGM_LVQ = 6,
    KORU32_PARADIGM_PNN = 8,
    KORU32_PARADIGM_GRNN = 9
};

/* ---- Slab kinds --------------------------------------------------------- */
enum {
    KORU32_SLAB_INPUT = 0,
    KORU32_SLAB_HIDDEN = 1,
    KORU32_SLAB_OUTPUT = 2
};

/* ---- Transfer functions of backpropagation slabs ------------------------ */
enum {
    KORU32_TRANSFER_LOGISTIC = 0,            /* 1 / (1 + e^-x) */
    KORU32_TRANSFER_LINEAR = 1,              /* x limited to [-10, 10] */
    KORU32_TRANSFER_TANH = 2,                /* tanh x */
    KORU32_TRANSFER_GAUSSIAN = 3,            /* e^(-x^2) */
    KORU32_TRANSFER_SINE = 4,                /* sin x, x limited to [-pi/2, pi/2] */
    KORU32_TRANSFER_TANH15 = 5,              /* tanh 1.5x */
    KORU32_TRANSFER_SYMMETRIC_LOGISTIC = 6,  /* 2 / (1 + e^-x) - 1 */
    KORU32_TRANSFER_GAUSSIAN_COMPLEMENT = 7  /* 1 - e^(-x^2) */
};

/* ---- Link statuses ------------------------------------------------------ */
enum {
    KORU32_LINK_IGNORED = 0,     /* ignored by propagation and training */
    KORU32_LINK_PROPAGATED = 1,  /* propagates, is not trained */
    KORU32_LINK_TRAINED = 2      /* propagates and is trained (every new link) */
};

/* ---- Arguments of SetMath ----------------------------------------------- */
enum {
    KORU32_MATH_FLOAT = 0,  /* new nets hold 32-bit floats */
    KORU32_MATH_FIXED = 1   /* new nets hold 8.24 fixed point */
};

/* ======================================================================== */
/* Nets                                                                     */
/* ======================================================================== */

/* Makes net `net` of type `type` in a free slot, in the current math mode
 * (see SetMath); PNN and GRNN nets are always float. 0, 1, 2, 3, 4. */
KORU32_API int16_t KORU32_CALL MakeNet(const int16_t* net, const uint16_t* type);
/* Releases a net with all its slabs, links and stores. 0, 3, 5. */
KORU32_API int16_t KORU32_CALL KillNet(const int16_t* net);
/* Writes the lowest free net number into `net` (it is not reserved). 0, 4. */
KORU32_API int16_t KORU32_CALL GetNextNet(uint16_t* net);
/* Sets the math mode, the number format of nets made afterwards:
 * KORU32_MATH_FLOAT or KORU32_MATH_FIXED. 0, 22.
 * The mode is not the caller's alone: every call that looks up a slab or a
 * link (every slab, link, backpropagation, PNN, GRNN and LVQ export except
 * MakeSlab) sets it to the format of the net it looked up, and RestoreNet
 * sets it to the file's format. So after SetMath(FIXED), any such call on a
 * float net (a PNN or GRNN net included) makes the next MakeNet float.
 * MakeNet, KillNet, MakeSlab, the store exports that name no slab, SaveNet
 * and LoadShell leave it alone; a call refused before its lookup succeeds
 * leaves it alone too. Programs written for this behaviour rely on it, so
 * it is kept: call SetMath right before MakeNet when nets of both formats
 * are in use. */
KORU32_API int16_t KORU32_CALL SetMath(const uint16_t* mode);
/* Processor selection is not supported; the argument is not read. Always 42. */
KORU32_API int16_t KORU32_CALL SetCPU(const int16_t* unused);
/* Seeds the generator of random weights, so that runs repeat. Always 0. */
KORU32_API int16_t KORU32_CALL SetSeed(const int16_t* seed);
/* Exit entry of the library; the argument is not read. Always 1. */
KORU32_API int32_t KORU32_CALL WEP(int32_t unused);

/* ======================================================================== */
/* Slabs                                                                    */
/* ======================================================================== */

/* Makes a slab of `neurons` neurons of kind `kind` (input, hidden, output),
 * all values 0. 0, 1, 3, 5, 6, 7, 8, 10. */
KORU32_API int16_t KORU32_CALL MakeSlab(const int16_t* net, const int16_t* slab,
                                        const int16_t* neurons, const int16_t* kind);
/* Removes a slab that no link uses. 0, 3, 5, 7, 9, 11. */
KORU32_API int16_t KORU32_CALL KillSlab(const int16_t* net, const int16_t* slab);
/* Sets every neuron from `values` (one float per neuron). 0, 3, 5, 7, 9. */
KORU32_API int16_t KORU32_CALL PutSlab(const int16_t* net, const int16_t* slab, const float* values);
/* Reads every neuron into `values` (one float per neuron). 0, 3, 5, 7, 9. */
KORU32_API int16_t KORU32_CALL GetSlab(const int16_t* net, const int16_t* slab, float* values);
/* Sets every neuron from integers scaled by 10000 (10000 is 1.0). 0, 3, 5, 7, 9. */
KORU32_API int16_t KORU32_CALL PutSlabInteger(const int16_t* net, const int16_t* slab,
                                              const int16_t* values);
/* Reads every neuron as value x 10000, truncated, low 16 bits. 0, 3, 5, 7, 9. */
KORU32_API int16_t KORU32_CALL GetSlabInteger(const int16_t* net, const int16_t* slab,
                                              int16_t* values);
/* Sets every neuron to `value`. 0, 3, 5, 7, 9. */
KORU32_API int16_t KORU32_CALL SetSlab(const int16_t* net, const int16_t* slab, const float* value);
/* Copies neuron values between two slabs, of the same or different nets, as
 * many as the smaller slab has. 0, 3, 5, 7, 9. */
KORU32_API int16_t KORU32_CALL CopySlab(const int16_t* sourceNet, const int16_t* sourceSlab,
                                        const int16_t* destNet, const int16_t* destSlab);
/* Shifts the values up by one neuron (the last drops out) and puts `value`
 * into neuron 1. 0, 3, 5, 7, 9. */
KORU32_API int16_t KORU32_CALL SlideSlab(const int16_t* net, const int16_t* slab, const float* value);
/* Reads neuron `neuron` (from 1). 0, 3, 5, 7, 9, 24. */
KORU32_API int16_t KORU32_CALL GetNeuron(const int16_t* net, const int16_t* slab,
                                         const int16_t* neuron, float* value);
/* Writes neuron `neuron` (from 1). 0, 3, 5, 7, 9, 24. */
KORU32_API int16_t KORU32_CALL PutNeuron(const int16_t* net, const int16_t* slab,
                                         const int16_t* neuron, const float* value);
/* Chooses the transfer function of a backpropagation slab. 0, 3, 5, 7, 9, 16, 43. */
KORU32_API int16_t KORU32_CALL Transfer(const int16_t* net, const int16_t* slab, const int16_t* code);
/* Reads the delta (or count) of one neuron; 16 when the slab keeps none.
 * 0, 3, 5, 7, 9, 16, 24. */
KORU32_API int16_t KORU32_CALL GetDelta(const int16_t* net, const int16_t* slab,
                                        const int16_t* neuron, float* value);
/* Writes the delta (or count) of one neuron; 16 when the slab keeps none.
 * 0, 3, 5, 7, 9, 16, 24. */
KORU32_API int16_t KORU32_CALL PutDelta(const int16_t* net, const int16_t* slab,
                                        const int16_t* neuron, const float* value);
/* PNN and GRNN: reads the number of pattern units in use, then the slab's
 * counts, into 1 + neuron-count floats. 0, 3, 5, 7, 9, 16. */
KORU32_API int16_t KORU32_CALL GetCounts(const int16_t* net, const int16_t* slab, float* counts);
/* PNN and GRNN: sets the number of pattern units in use and the slab's
 * counts from 1 + neuron-count floats. 0, 3, 5, 7, 9, 16. */
KORU32_API int16_t KORU32_CALL PutCounts(const int16_t* net, const int16_t* slab, const float* counts);

/* ======================================================================== */
/* Links and weights                                                        */
/* ======================================================================== */

/* Makes a link from `source` to `dest` with random weights in +-|range|
 * (zero weights in PNN and GRNN nets). 0, 1, 3, 5, 7, 9, 12, 13, 14, 44
 * (a range that is not finite; tested after 14). */
KORU32_API int16_t KORU32_CALL MakeLink(const int16_t* net, const int16_t* link, const float* range,
                                        const int16_t* source, const int16_t* dest);
/* Draws new random weights in +-|range| and clears the weight changes.
 * 0, 3, 5, 12, 15, 44 (a range that is not finite). */
KORU32_API int16_t KORU32_CALL InitLink(const int16_t* net, const int16_t* link, const float* range);
/* Removes a link. 0, 3, 5, 12, 15. */
KORU32_API int16_t KORU32_CALL KillLink(const int16_t* net, const int16_t* link);
/* Reads every weight, row by row (backpropagation: the bias row first).
 * 0, 3, 5, 12, 15. */
KORU32_API int16_t KORU32_CALL GetLink(const int16_t* net, const int16_t* link, float* weights);
/* Writes every weight, row by row. 0, 3, 5, 12, 15. */
KORU32_API int16_t KORU32_CALL PutLink(const int16_t* net, const int16_t* link, const float* weights);
/* Reads the weight from source neuron `source` to destination neuron `dest`.
 * 0, 3, 5, 12, 15, 19, 20. */
KORU32_API int16_t KORU32_CALL GetWeight(const int16_t* net, const int16_t* link, const int16_t* source,
                                         const int16_t* dest, float* value);
/* Writes one weight. 0, 3, 5, 12, 15, 19, 20. */
KORU32_API int16_t KORU32_CALL PutWeight(const int16_t* net, const int16_t* link, const int16_t* source,
                                         const int16_t* dest, const float* value);
/* Reads the weight change (or step size) of one weight; 16 outside
 * backpropagation or when the link keeps none. 0, 3, 5, 12, 15, 16, 19, 20. */
KORU32_API int16_t KORU32_CALL GetChange(const int16_t* net, const int16_t* link, const int16_t* source,
                                         const int16_t* dest, float* value);
/* Writes the weight change of one weight. 0, 3, 5, 12, 15, 16, 19, 20. */
KORU32_API int16_t KORU32_CALL PutChange(const int16_t* net, const int16_t* link, const int16_t* source,
                                         const int16_t* dest, const float* value);
/* Reads every weight change; 16 when the link keeps none. 0, 3, 5, 12, 15, 16. */
KORU32_API int16_t KORU32_CALL GetLinkChanges(const int16_t* net, const int16_t* link, float* changes);
/* Writes every weight change; 16 when the link keeps none. 0, 3, 5, 12, 15, 16. */
KORU32_API int16_t KORU32_CALL PutLinkChanges(const int16_t* net, const int16_t* link,
                                              const float* changes);
/* Sets a backpropagation link's status (ignored, propagated, trained).
 * 0, 3, 5, 12, 15, 16, 43. */
KORU32_API int16_t KORU32_CALL SetStatus(const int16_t* net, const int16_t* link, const int16_t* status);

/* ======================================================================== */
/* Pattern stores                                                           */
/* ======================================================================== */

/* Makes a store of `records` records of `width` values. 0, 1, 3, 5, 10, 33, 34, 35. */
KORU32_API int16_t KORU32_CALL MakeStore(const int16_t* net, const int16_t* store, const int16_t* width,
                                         const uint32_t* records);
/* Removes a store. 0, 3, 5, 33, 36. */
KORU32_API int16_t KORU32_CALL KillStore(const int16_t* net, const int16_t* store);
/* Reads record `record` (from 0) into `width` floats. 0, 3, 5, 33, 36, 37. */
KORU32_API int16_t KORU32_CALL GetStore(const int16_t* net, const int16_t* store, const uint32_t* record,
                                        float* values);
/* Writes record `record` from `width` floats. 0, 3, 5, 33, 36, 37. */
KORU32_API int16_t KORU32_CALL PutStore(const int16_t* net, const int16_t* store, const uint32_t* record,
                                        const float* values);
/* Copies a slab's values into a record, as many as both hold. The slab is
 * looked up first. 0, 3, 5, 7, 9, 33, 36, 37. */
KORU32_API int16_t KORU32_CALL CopyToStore(const int16_t* storeNet, const int16_t* store,
                                           const uint32_t* record, const int16_t* slabNet,
                                           const int16_t* slab);
/* Copies a record into a slab's values, as many as both hold.
 * 0, 3, 5, 7, 9, 33, 36, 37. */
KORU32_API int16_t KORU32_CALL CopyFromStore(const int16_t* storeNet, const int16_t* store,
                                             const uint32_t* record, const int16_t* slabNet,
                                             const int16_t* slab);

/* ======================================================================== */
/* Backpropagation                                                          */
/* ======================================================================== */

/* Computes a slab from its incoming links and its transfer function.
 * 0, 3, 5, 7, 9, 16, 17. */
KORU32_API int16_t KORU32_CALL BpPropagate(const int16_t* net, const int16_t* slab);
/* Compares an output slab with `targets`, stores the output deltas and
 * writes this pattern's squared error into `sum`. 0, 3, 5, 7, 9, 16, 18. */
KORU32_API int16_t KORU32_CALL BpEvaluate(const int16_t* net, const int16_t* slab, const float* targets,
                                          float* sum);
/* As BpEvaluate, adding the squared error to the slab's running sum.
 * 0, 3, 5, 7, 9, 16, 18. */
KORU32_API int16_t KORU32_CALL BpEvaluateSum(const int16_t* net, const int16_t* slab,
                                             const float* targets);
/* Reads the slab's running error sum into `sum` and clears it. 0, 3, 5, 7, 9, 16, 18. */
KORU32_API int16_t KORU32_CALL BpGetSum(const int16_t* net, const int16_t* slab, float* sum);
/* As BpEvaluate with targets scaled by 10000. 0, 3, 5, 7, 9, 16, 18. */
KORU32_API int16_t KORU32_CALL BpEvaluateInteger(const int16_t* net, const int16_t* slab,
                                                 const int16_t* targets, float* sum);
/* As BpEvaluate with the targets taken from a store record of any net.
 * 0, 3, 5, 7, 9, 16, 18, 33, 36, 37. */
KORU32_API int16_t KORU32_CALL BpEvaluateStore(const int16_t* net, const int16_t* slab,
                                               const int16_t* storeNet, const int16_t* store,
                                               const uint32_t* record, float* sum);
/* As BpEvaluateSum with the targets taken from a store record.
 * 0, 3, 5, 7, 9, 16, 18, 33, 36, 37. */
KORU32_API int16_t KORU32_CALL BpEvaluateSumStore(const int16_t* net, const int16_t* slab,
                                                  const int16_t* storeNet, const int16_t* store,
                                                  const uint32_t* record);
/* Adds `factor` times the values of slab `source` to slab `dest` (any paradigm).
 * 0, 3, 5, 7, 9. */
KORU32_API int16_t KORU32_CALL AddSlab(const int16_t* net, const int16_t* source, const int16_t* dest,
                                       const float* factor);
/* Trains the links leaving a slab with the deltas of the slabs they feed, and
 * leaves the slab's own deltas for the next call further back. `apply` ends
 * a batch (batch and adaptive rules). 0, 3, 5, 7, 9, 16, 44 (tested after 16:
 * a rate that is not finite in the plain, momentum and batch rules, or a
 * momentum that is not finite in the momentum rule; the adaptive rule reads
 * neither, nor does the plain or batch rule read the momentum). */
KORU32_API int16_t KORU32_CALL BpTrain(const int16_t* net, const int16_t* slab, const float* rate,
                                       const float* momentum, const uint16_t* apply);

/* ======================================================================== */
/* Probabilistic nets                                                       */
/* ======================================================================== */

/* Computes the pattern slab's kernel activations, or the output slab's class
 * scores, for the input in the input slab. 0, 3, 5, 7, 9, 16, 17, 32 (a
 * smoothing factor that is not a finite number above 0: NaN and infinity
 * included). */
KORU32_API int16_t KORU32_CALL PnnPropagate(const int16_t* net, const int16_t* slab,
                                            const float* smoothing);
/* Presents a class vector on the output slab and takes a new pattern unit
 * (pattern 0) or re-presents unit `pattern`. 0, 3, 5, 7, 9, 16, 17 (pattern 0
 * on an output slab without incoming links: no capacity), 18, 31. */
KORU32_API int16_t KORU32_CALL PnnEvaluate(const int16_t* net, const int16_t* slab, const float* targets,
                                           const int16_t* pattern);
/* Stores the input slab's pattern (on the input slab) or the class vector (on
 * the pattern slab) in a pattern unit. 0, 3, 5, 7, 9, 16, 31. */
KORU32_API int16_t KORU32_CALL PnnTrain(const int16_t* net, const int16_t* slab, const int16_t* pattern);

/* ======================================================================== */
/* General regression nets                                                  */
/* ======================================================================== */

/* Computes the pattern slab's activations and denominator, or the output
 * slab's estimates. 0, 3, 5, 7, 9, 16, 17, 32 (as PnnPropagate), 38 (outputs
 * then hold 0). */
KORU32_API int16_t KORU32_CALL GrnnPropagate(const int16_t* net, const int16_t* slab,
                                             const float* smoothing);
/* Presents a target vector on the output slab and takes a new pattern unit
 * (pattern 0) or re-presents unit `pattern`. 0, 3, 5, 7, 9, 16, 17 (pattern 0
 * on an output slab without incoming links: no capacity), 18, 31. */
KORU32_API int16_t KORU32_CALL GrnnEvaluate(const int16_t* net, const int16_t* slab,
                                            const float* targets, const int16_t* pattern);
/* Stores the input pattern or the target vector in a pattern unit.
 * 0, 3, 5, 7, 9, 16, 31. */
KORU32_API int16_t KORU32_CALL GrnnTrain(const int16_t* net, const int16_t* slab, const int16_t* pattern);

/* ======================================================================== */
/* Learning vector quantisation                                             */
/* ======================================================================== */

/* Scores every unit of an output slab against the input pattern.
 * 0, 3, 5, 7, 9, 16, 17. */
KORU32_API int16_t KORU32_CALL LvqPropagate(const int16_t* net, const int16_t* slab);
/* Picks the winning unit (from 1) of an output slab; a non-zero `flag`
 * replaces the scores by the one-hot winner code. 0, 3, 5, 7, 9, 16, 18. */
KORU32_API int16_t KORU32_CALL LvqEvaluate(const int16_t* net, const int16_t* slab, uint16_t* winner,
                                           const uint16_t* flag);
/* Moves the winner and its grid neighbours within `radius` toward the input
 * pattern by `rate` (a negative rate moves them away); `width` is the number
 * of grid columns. 0, 3, 5, 7, 9, 16, 23 (a negative radius, or a rate that
 * is not finite). */
KORU32_API int16_t KORU32_CALL LvqTrain(const int16_t* net, const int16_t* slab, const float* rate,
                                        const int16_t* radius, const uint16_t* width);

/* ======================================================================== */
/* Files                                                                    */
/* ======================================================================== */

/* Writes a net to a network file, followed by `length` bytes of the
 * caller's own (`bytes` may be null: nothing is appended). 0, 3, 5, 40 (also
 * a negative length, refused before the file is created or truncated). */
KORU32_API int16_t KORU32_CALL SaveNet(const int16_t* net, const char* fileName, const int32_t* length,
                                       const void* bytes);
/* Rebuilds a net from a network file in the free slot `net` and reads back
 * `length` bytes of the caller's own (`bytes` may be null: nothing is read).
 * Switches the math mode to the file's format. 0, 3, 4, 41 (also a negative
 * length, refused before the file is opened), or a code of the making calls. */
KORU32_API int16_t KORU32_CALL RestoreNet(const int16_t* net, const char* fileName, const int32_t* length,
                                          void* bytes);
/* Imports a trained three-layer backpropagation net from a shell file into
 * slabs 0..2 and links 0..1 of an existing net. 0, 1, 3, 5, 8, 14, 16, 25. */
KORU32_API int16_t KORU32_CALL LoadShell(const int16_t* net, const char* fileName);

/* ======================================================================== */
/* Library information                                                      */
/* ======================================================================== */

/* Writes the version of the loaded library into `number`, in the form of
 * KORU32_VERSION_NUMBER (10000 for 1.0.0), so that a program can compare it
 * with the header it was built with. Always 0. */
KORU32_API int16_t KORU32_CALL GetLibraryVersion(int32_t* number);
/* An English description of result code `code`, such as "link number outside
 * 0..31": static text, never null, the same for the life of the process.
 * Values that are not result codes (and a null `code`) give "unknown result
 * code". */
KORU32_API const char* KORU32_CALL GetResultText(const int16_t* code);

/* ======================================================================== */
/* Runtime hook                                                             */
/* ======================================================================== */

#if defined(_WIN32)
/* On Windows the record is the C runtime's own `struct _exception` (the same
 * fields), and the runtime's <math.h> may already declare the hook: a C
 * program built with the compiler's extensions gets that declaration, and a
 * second one with another record type would not compile. */
#include <math.h>
typedef struct _exception koru32_math_exception;
#if !defined(_CRT_MATHERR_DEFINED)
#define _CRT_MATHERR_DEFINED
KORU32_API int _matherr(koru32_math_exception* record);
#endif
#else
/* The math-error record of the runtime's hook. */
typedef struct koru32_math_exception {
    int32_t type;      /* kind of error */
    const char* name;  /* function that failed */
    double arg1;       /* first argument */
    double arg2;       /* second argument */
    double retval;     /* result to return instead */
} koru32_math_exception;

/* Math-error hook: sets the result to 0.0 and reports the error as handled
 * (returns 1). Called in the runtime's own convention. */
KORU32_API int _matherr(koru32_math_exception* record);
#endif

#ifdef __cplusplus
}
#endif

#endif /* KORU32_H */
