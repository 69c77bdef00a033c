// Functions compiled as C (CHeaderCalls.c) that call Stenik32 through its
// header, for the C++ test to check.
#pragma once

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

int32_t cEncode(const char *source, char *destination, int32_t length);
int32_t cEncodeReserved(const char *source, char *destination, int32_t length);
int32_t cDecode(const char *source, char *destination);
double cRound(double value, double step);
double cRound2(double value, double step);
double cRound3(double value, double step);

#ifdef __cplusplus
}
#endif
