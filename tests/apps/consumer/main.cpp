// The consumer's checks of an installed Vantrel: prints the library's information string, then,
// given a PNG (the example's picture), fails unless it reads and shows a drawing: enough pixels
// away from the background (the top-left pixel) and several tones.
#include "module/VersionRecord.h"

#include <png.h>

#include <cstdio>
#include <set>
#include <vector>

int main(int argc, char** argv) {
    std::printf("%ls\n", Vantrel_XX_xx_00_00::__g_zellibrary_info);
    if (argc < 2)
        return 0;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (png_image_begin_read_from_file(&image, argv[1]) == 0) {
        std::printf("cannot read %s: %s\n", argv[1], image.message);
        return 1;
    }
    image.format = PNG_FORMAT_RGBA;
    std::vector<png_uint_32> pixels(size_t(image.width) * image.height);
    if (png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr) == 0) {
        std::printf("cannot decode %s: %s\n", argv[1], image.message);
        return 1;
    }
    size_t drawn = 0;
    std::set<png_uint_32> tones;
    for (png_uint_32 pixel : pixels) {
        drawn += pixel != pixels[0];
        tones.insert(pixel);
    }
    const bool shows_drawing = drawn * 20 >= pixels.size() && tones.size() >= 8;
    std::printf("%s: %ux%u, %zu of %zu pixels drawn, %zu tones (expected at least 5%% and 8)\n", argv[1],
                image.width, image.height, drawn, pixels.size(), tones.size());
    return shows_drawing ? 0 : 1;
}
