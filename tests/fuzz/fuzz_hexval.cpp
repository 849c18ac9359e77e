// HexVal2 and HexVal4 on any text: the value of up to two or four leading hex digits.

#include <cstddef>

#include "table/hextext.h"
#include "tests/fuzz/reference.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArrayView text(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    FUZZ_REQUIRE(HexVal2(text) == reference::hexValue(text, 2), "HexVal2: two leading digits");
    FUZZ_REQUIRE(HexVal4(text) == reference::hexValue(text, 4), "HexVal4: four leading digits");
    return 0;
}
