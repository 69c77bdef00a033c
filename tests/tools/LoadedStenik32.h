// The six exports of the built libStenik32.so, found by name with dlsym.
//
// The tests call the library only through these pointers, so they prove that
// the shared object itself exports each function under its undecorated name,
// not merely that the header links.
#pragma once

#include "Stenik32.h"

#include <string>

struct LoadedStenik32 {
    decltype(&URLEnc_Decode) decode = nullptr;
    decltype(&URLEnc_Encode) encode = nullptr;
    decltype(&URLEnc_EncodeEx) encodeEx = nullptr;
    decltype(&Round) round = nullptr;
    decltype(&Round2) round2 = nullptr;
    decltype(&Round3) round3 = nullptr;

    std::string error; // dlopen's or dlsym's complaint, empty when all six were found

    bool complete() const
    {
        return decode && encode && encodeEx && round && round2 && round3;
    }
};

// Loads the library at STENIK32_LIBRARY_PATH once per process and resolves the
// six names. The handle stays open until the process ends.
const LoadedStenik32 &loadedStenik32();
