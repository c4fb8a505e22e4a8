#pragma once
#include "Core/COutputStream.h"

namespace Steinberg {
class IBStream;
}

namespace tal {

// A host's IBStream written as a framework output stream, for one state save. Not owned; no
// reference is taken: the adapter lives on the stack for one call. A write the host refuses or cuts
// short is an error, so the host is never told a partial state was saved.
class COutputStreamVST : public COutputStream {
public:
    explicit COutputStreamVST(Steinberg::IBStream* hostStream) noexcept : mHostStream(hostStream) {}
    COutputStreamVST(const COutputStreamVST&) = delete;
    COutputStreamVST& operator=(const COutputStreamVST&) = delete;

    [[nodiscard]] CError* write(const void* source, std::int32_t count) override;

private:
    Steinberg::IBStream* mHostStream;
};

} // namespace tal
