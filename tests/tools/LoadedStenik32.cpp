#include "LoadedStenik32.h"

#include <dlfcn.h>

namespace {

template<typename Function>
void resolve(void *handle, const char *name, Function &function, std::string &error)
{
    dlerror();
    function = reinterpret_cast<Function>(dlsym(handle, name));
    if (function == nullptr && error.empty()) {
        const char *reason = dlerror();
        error = std::string(name) + ": " + (reason ? reason : "resolved to null");
    }
}

LoadedStenik32 load()
{
    LoadedStenik32 api;
    // RTLD_LOCAL: the names must come from this handle, not from anything the
    // test executable happens to have linked.
    void *handle = dlopen(STENIK32_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char *reason = dlerror();
        api.error = reason ? reason : "dlopen failed";
        return api;
    }
    resolve(handle, "URLEnc_Decode", api.decode, api.error);
    resolve(handle, "URLEnc_Encode", api.encode, api.error);
    resolve(handle, "URLEnc_EncodeEx", api.encodeEx, api.error);
    resolve(handle, "Round", api.round, api.error);
    resolve(handle, "Round2", api.round2, api.error);
    resolve(handle, "Round3", api.round3, api.error);
    return api;
}

} // namespace

const LoadedStenik32 &loadedStenik32()
{
    static const LoadedStenik32 api = load();
    return api;
}
