// libFuzzer target: an arbitrary file goes through the bitmap converter's header checks and,
// when it passes them, the C text is generated from the pixels the checks delimit.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "bmp_file.h"
#include "c_export.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace korvan::bitmap;
    const std::span<const uint8_t> file(data, size);
    const BitmapCheck check = checkBitmap(file);
    if (!check.ok()) return 0;
    // A sound bitmap's pixels lie inside the file; reading them must stay in bounds.
    const BitmapInfo& info = check.info;
    if (info.pixelStart > size || info.imageSize > size - info.pixelStart) std::abort();
    const std::string text = cSourceText(file.subspan(info.pixelStart, info.imageSize), info, kDefaultResourceName);
    if (text.empty()) std::abort();
    return 0;
}
