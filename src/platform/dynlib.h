// Shared libraries loaded at run time (image plug-ins).
#pragma once

#include "platform/platform_types.h"

#include <memory>
#include <string>

namespace narvo {

class TDynamicLibrary {
public:
    // Loads the library at `Path` (UTF-8); nothing, with the reason in `Error`, when it
    // cannot be loaded.
    static std::unique_ptr<TDynamicLibrary> Load(const std::string& Path, TResult* Error = nullptr);
    ~TDynamicLibrary();
    TDynamicLibrary(const TDynamicLibrary&) = delete;
    TDynamicLibrary& operator=(const TDynamicLibrary&) = delete;

    // Address of an exported symbol, or null.
    void* FindExport(const char* Name) const;

private:
    explicit TDynamicLibrary(void* Handle) : Handle_(Handle) {}
    void* Handle_;
};

} // namespace narvo
