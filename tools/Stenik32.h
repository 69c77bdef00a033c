/* Stenik32: percent-encoding of 8-bit byte strings and decimal rounding.
 *
 * Six plain C functions with undecorated names; they are the library's whole
 * interface. None of them allocates, keeps state, or lets an exception out:
 * every one may be called from C or through dlsym. Buffers are the caller's.
 *
 * Byte counts and lengths are signed 32-bit; the encoder flags are an unsigned
 * 32-bit mask.
 */
#ifndef STENIK32_H
#define STENIK32_H

#include <stdint.h>

#if defined(STENIK32_BUILDING)
#define STENIK32_API __attribute__((visibility("default")))
#else
#define STENIK32_API
#endif

#ifdef __cplusplus
#define STENIK32_NOEXCEPT noexcept
extern "C" {
#else
#define STENIK32_NOEXCEPT
#endif

/* Bits of the URLEnc_EncodeEx flags; any other bit is ignored. */
enum {
    URLENC_CONTROL = 1u,  /* 0x00-0x1F, 0x7F and 0x80-0xFF */
    URLENC_UNSAFE = 2u,   /* blank and "<>#%{}|\^~[]` plus the double quote */
    URLENC_RESERVED = 4u  /* ;/?:@=& */
};

/* Decodes the NUL-terminated `source` into `destination` and returns the
 * number of bytes written. "%%" gives "%"; "%" and two characters give one
 * byte, each character worth 0-9 for "0"-"9", 10-15 for "a"-"f"/"A"-"F" and 0
 * for anything else ("%G1" gives 0x01); a "%" with fewer than two characters
 * before the NUL takes the missing ones as 0 and ends the text ("x%" gives "x"
 * and a 0 byte). "+" is copied as it is. Writes at most strlen(source) bytes
 * and no terminating NUL; never reads past the source's NUL.
 * A null `source` or `destination` writes nothing and returns 0. */
STENIK32_API int32_t URLEnc_Decode(const char *source, char *destination) STENIK32_NOEXCEPT;

/* URLEnc_EncodeEx with flags URLENC_CONTROL | URLENC_UNSAFE (3). */
STENIK32_API int32_t URLEnc_Encode(const char *source, char *destination,
                                   int32_t length) STENIK32_NOEXCEPT;

/* Encodes the `length` bytes at `source` into `destination`. A byte selected
 * by a set flag becomes "%" and two upper-case hex digits; every other byte
 * is copied. Reads exactly `length` source bytes and writes at most
 * 3 * length + 1 bytes, so the destination must be that large.
 *
 * The output always ends in a NUL, and the result counts it the way the
 * library always has for a NUL-terminated source:
 *   - last byte copied unchanged, or length 0: the NUL is counted
 *     ("ab" with flags 3 gives "ab\0" and 3);
 *   - last byte encoded: the NUL follows the hex digits uncounted
 *     ("ab " with flags 3 gives "ab%20\0" and 5).
 * Unlike earlier versions the byte after the source is never read: the NUL is
 * written whatever follows the source in memory.
 *
 * A negative `length` promises a destination of 3 * length + 1 <= 0 bytes, so
 * nothing is written and the result is 0; so too for a null `source` or
 * `destination`. The result is representable only while the output stays
 * under 2 GiB, i.e. for length <= (INT32_MAX - 1) / 3. */
STENIK32_API int32_t URLEnc_EncodeEx(const char *source, uint32_t flags, char *destination,
                                     int32_t length) STENIK32_NOEXCEPT;

/* Rounds `value` to a multiple of `step`, halves toward plus infinity, by
 * arithmetic:
 *   |step| >= 1: floor(value / n + 0.5) * step, n = step rounded to a whole
 *                number (so steps are whole for the division only);
 *   |step| < 1:  floor(m * value + 0.5) * step, m = 1 / step rounded to a
 *                whole number (20 for 0.05).
 * Round(2.5, 1) = 3, Round(-2.5, 1) = -2, Round(1.225, 0.05) = 1.25.
 * A step of 0 (either sign) gives 0. Infinite or NaN arguments give what IEEE
 * arithmetic gives; nothing traps. */
STENIK32_API double Round(double value, double step) STENIK32_NOEXCEPT;

/* Stores Round(value, step) at `result`; a null `result` does nothing. */
STENIK32_API void Round3(double value, double step, double *result) STENIK32_NOEXCEPT;

/* Rounds `value` to a multiple of `step` through the decimal text of the
 * quotient q = value / step, so that a quotient a hair below a half, as binary
 * floating point produces it, still rounds away from zero: |q| is written with
 * six decimals (correctly rounded, as printf's "%f"); its integer part i is
 * raised by 1 when the first decimal is 5-9, or when it is 4 and the other
 * five are all 9. The result is i * step with the sign of q.
 * Round2(0.285, 0.01) = 0.29 (q = 28.499999999999996, text 28.500000);
 * Round2(1.4999994, 1) = 2; Round2(1.4999984, 1) = 1; Round2(2.4999, 1) = 2.
 *
 * Defined for every input:
 *   - step 0 (either sign) returns `value` unchanged;
 *   - a quotient or step that is infinite or NaN returns `value` unchanged;
 *   - every finite quotient is written in full, however large (earlier
 *     versions overflowed a 40-character text beyond 32 integer digits); a
 *     quotient of 2^53 or more has no fraction, so the result is q * step.
 *   - a negative quotient rounds as its magnitude does and takes the sign
 *     back: Round2(-2.5, 1) = -3, Round2(-2.7, 1) = -3 (earlier versions gave
 *     -1 for both).
 * The decimal point is found under every locale: the text never follows
 * LC_NUMERIC. */
STENIK32_API double Round2(double value, double step) STENIK32_NOEXCEPT;

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* STENIK32_H */
