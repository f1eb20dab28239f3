/*
 * koru32_result_codes.h - the result codes of the KORU32 engine, in one table.
 *
 * KORU32_RESULT_CODES(X) calls X(NAME, value, "text") once per code, in
 * ascending order of value. koru32.h builds its enum of KORU32_<NAME>
 * constants from it and the library's GetResultText returns its texts; a
 * program that wants its own list of codes (a switch, a table of names)
 * expands the table with a macro of its own:
 *
 *     #define NAME_OF(name, value, text) case value: return #name;
 *     switch (code) { KORU32_RESULT_CODES(NAME_OF) }
 *
 * The values never change; a code is only ever added, here.
 */
#ifndef KORU32_RESULT_CODES_H
#define KORU32_RESULT_CODES_H

#define KORU32_RESULT_CODES(X)                                                                    \
    X(OK, 0, "success")                                                                           \
    X(ERR_NO_MEMORY, 1, "memory for a net or an array cannot be obtained")                        \
    X(ERR_BAD_NET_TYPE, 2, "net type outside 1..11")                                              \
    X(ERR_BAD_NET_NUMBER, 3, "net number outside 0..127")                                         \
    X(ERR_NET_IN_USE, 4, "net number already in use, or no free net")                             \
    X(ERR_NET_NOT_IN_USE, 5, "net not in use")                                                    \
    X(ERR_BAD_SLAB_KIND, 6, "slab kind outside 0..2")                                             \
    X(ERR_BAD_SLAB_NUMBER, 7, "slab number outside 0..31")                                        \
    X(ERR_SLAB_EXISTS, 8, "slab already exists")                                                  \
    X(ERR_NO_SLAB, 9, "slab does not exist")                                                      \
    X(ERR_BAD_SIZE, 10, "neuron count or store width below 1")                                    \
    X(ERR_SLAB_HAS_LINKS, 11, "slab still has links")                                             \
    X(ERR_BAD_LINK_NUMBER, 12, "link number outside 0..31")                                       \
    X(ERR_TOO_MANY_LINKS, 13, "a slab would have more than 8 incoming or outgoing links")         \
    X(ERR_LINK_EXISTS, 14, "link already exists")                                                 \
    X(ERR_NO_LINK, 15, "link does not exist")                                                     \
    X(ERR_WRONG_PARADIGM, 16,                                                                     \
      "operation does not belong to the net's paradigm, or the slab or link lacks the array it "  \
      "needs")                                                                                    \
    X(ERR_NO_INCOMING_LINKS, 17, "the slab has no incoming links")                                \
    X(ERR_NOT_OUTPUT_SLAB, 18, "the slab is not an output slab")                                  \
    X(ERR_BAD_SOURCE_NEURON, 19, "source neuron outside the link")                                \
    X(ERR_BAD_DEST_NEURON, 20, "destination neuron outside the link")                             \
    X(ERR_BAD_MATH_MODE, 22, "math mode other than 0 or 1")                                       \
    X(ERR_NEGATIVE_RADIUS, 23, "negative neighbourhood radius, or a learning rate that is not finite") \
    X(ERR_BAD_NEURON, 24, "neuron number outside 1..neuron count")                                \
    X(ERR_SHELL_FILE, 25, "shell file cannot be opened or read, or is malformed")                 \
    X(ERR_BAD_PATTERN, 31, "pattern unit outside those in use, or none free")                     \
    X(ERR_BAD_SMOOTHING, 32, "smoothing factor not a finite number above 0")                      \
    X(ERR_BAD_STORE_NUMBER, 33, "store number outside 0..5")                                      \
    X(ERR_BAD_RECORD_COUNT, 34, "record count 0, or a store too large to address")                \
    X(ERR_STORE_EXISTS, 35, "store already exists")                                               \
    X(ERR_NO_STORE, 36, "store does not exist")                                                   \
    X(ERR_BAD_RECORD, 37, "record number not below the store's record count")                     \
    X(ERR_ZERO_DENOMINATOR, 38, "a GRNN output's denominator is 0")                               \
    X(ERR_SAVE_FILE, 40, "network file cannot be created, written or closed, or a negative length of caller bytes") \
    X(ERR_RESTORE_FILE, 41, "network file cannot be read, or is malformed, or a negative length of caller bytes") \
    X(ERR_NO_CPU_SELECTION, 42, "processor selection is not supported")                           \
    X(ERR_BAD_CODE, 43, "transfer code outside 0..7, or link status outside 0..2")                \
    X(ERR_NOT_FINITE, 44, "a weight range, learning rate or momentum that is NaN or infinite")

/* The text GetResultText gives a value that is not in the table. */
#define KORU32_UNKNOWN_RESULT_TEXT "unknown result code"

#endif /* KORU32_RESULT_CODES_H */
