// Fuzzes the persisted-properties loader: any byte string either loads or changes nothing, and what
// loads saves back to a stream that loads to the same state.
#include <cstddef>
#include <cstdint>
#include <string>

#include "archive/component/src/commands.h"
#include "archive/component/src/control.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace pavo;
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    (void)arcvane::split_arguments(bytes);

    com::ComPtr<com::IPersistStreamInit> persist;
    if (com::FAILED(arcvane::Arcvane::create({}, com::IID_IPersistStreamInit, persist.put())))
        return 0;
    com::MemoryStream in(bytes);
    if (com::FAILED(persist->load(&in))) return 0;
    com::MemoryStream once;
    persist->save(&once, true);
    com::MemoryStream again_in(once.bytes());
    if (com::FAILED(persist->load(&again_in))) __builtin_trap();
    com::MemoryStream twice;
    persist->save(&twice, true);
    if (once.bytes() != twice.bytes()) __builtin_trap();
    return 0;
}
