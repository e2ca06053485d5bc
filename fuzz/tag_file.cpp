// The tag file other programs write: every line becomes one row, no part longer than a
// line may be, and nothing but the rows comes out.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "transfer/TagFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace velora;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const auto rows = ParseTagFile(bytes);
    std::size_t breaks = 0;
    for (std::size_t i = 0; i < size; ++i)
        if (bytes[i] == '\n' || (bytes[i] == '\r' && (i + 1 == size || bytes[i + 1] != '\n'))) ++breaks;
    if (rows.size() > breaks + 1) std::abort();
    for (const auto& row : rows)
        if (row.name.size() + row.value.size() > kTagLineLimit) std::abort();
    return 0;
}
