/* Compiled as strict C99: proves that Stenik32.h is a valid C header and that
 * the library links from C by the undecorated names. */
#include "CHeaderCalls.h"

#include "Stenik32.h"

int32_t cEncode(const char *source, char *destination, int32_t length)
{
    return URLEnc_Encode(source, destination, length);
}

int32_t cEncodeReserved(const char *source, char *destination, int32_t length)
{
    return URLEnc_EncodeEx(source, URLENC_RESERVED, destination, length);
}

int32_t cDecode(const char *source, char *destination)
{
    return URLEnc_Decode(source, destination);
}

double cRound(double value, double step)
{
    return Round(value, step);
}

double cRound2(double value, double step)
{
    return Round2(value, step);
}

double cRound3(double value, double step)
{
    double result = -1.0;
    Round3(value, step, &result);
    return result;
}
