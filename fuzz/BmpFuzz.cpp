// Decodes fuzzed bytes as a graphic field's picture, and when they decode,
// encodes the picture as the HTML export's JPEG does.

#include "export/JpegWriter.h"
#include "export/view/BmpImage.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TRgbImage image;
    try {
        LoadBmpImage(std::string_view(reinterpret_cast<const char*>(data), size), image);
    } catch (const EInvalidGraphic&) {
        return 0;
    }
    if (image.Pixels.size() != static_cast<size_t>(image.Width) * image.Height * 3)
        __builtin_trap();
    // Small pictures only: encoding large ones tells nothing new.
    if (image.Pixels.size() <= (1u << 16)) {
        std::string jpeg;
        EncodeJpeg(image, 90, jpeg);
    }
    return 0;
}
