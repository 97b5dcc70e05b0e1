#include "platform/dynlib.h"

#include <dlfcn.h>

namespace narvo {

std::unique_ptr<TDynamicLibrary> TDynamicLibrary::Load(const std::string& Path, TResult* Error) {
    void* Handle = dlopen(Path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!Handle) {
        if (Error) {
            const char* Why = dlerror();
            *Error = TResult::Failure(Why ? Why : "cannot load " + Path);
        }
        return nullptr;
    }
    if (Error) *Error = TResult::Success();
    return std::unique_ptr<TDynamicLibrary>(new TDynamicLibrary(Handle));
}

TDynamicLibrary::~TDynamicLibrary() { dlclose(Handle_); }

void* TDynamicLibrary::FindExport(const char* Name) const { return dlsym(Handle_, Name); }

} // namespace narvo
