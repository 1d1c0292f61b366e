// Compares the editor images in two folders pixel by pixel:
//   editor_image_check GENERATED_FOLDER COMMITTED_FOLDER
// Exit status 0 when every image has the same size, format and pixels.
// (The PNG bytes themselves may differ with the compression library.)
#include <cairo.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

bool samePixels(const std::string& generatedPath, const std::string& committedPath) {
    cairo_surface_t* generated = cairo_image_surface_create_from_png(generatedPath.c_str());
    cairo_surface_t* committed = cairo_image_surface_create_from_png(committedPath.c_str());
    bool same = cairo_surface_status(generated) == CAIRO_STATUS_SUCCESS &&
                cairo_surface_status(committed) == CAIRO_STATUS_SUCCESS;
    if (!same) {
        std::fprintf(stderr, "%s: cannot read one of the two images\n", committedPath.c_str());
    } else {
        const int width = cairo_image_surface_get_width(generated);
        const int height = cairo_image_surface_get_height(generated);
        same = width == cairo_image_surface_get_width(committed) &&
               height == cairo_image_surface_get_height(committed) &&
               cairo_image_surface_get_format(generated) ==
                   cairo_image_surface_get_format(committed);
        if (!same) std::fprintf(stderr, "%s: size or format differs\n", committedPath.c_str());
        // RGB24 rows carry an unused byte per pixel; compare the colours only.
        const bool hasAlpha = cairo_image_surface_get_format(generated) == CAIRO_FORMAT_ARGB32;
        const uint32_t mask = hasAlpha ? 0xffffffffu : 0x00ffffffu;
        int differing = 0;
        for (int y = 0; same && y < height; ++y) {
            auto* a = reinterpret_cast<const uint32_t*>(cairo_image_surface_get_data(generated) +
                                                        y * cairo_image_surface_get_stride(generated));
            auto* b = reinterpret_cast<const uint32_t*>(cairo_image_surface_get_data(committed) +
                                                        y * cairo_image_surface_get_stride(committed));
            for (int x = 0; x < width; ++x) differing += (a[x] & mask) != (b[x] & mask);
        }
        if (differing > 0) {
            std::fprintf(stderr, "%s: %d pixels differ from what the generator draws\n",
                         committedPath.c_str(), differing);
            same = false;
        }
    }
    cairo_surface_destroy(generated);
    cairo_surface_destroy(committed);
    return same;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s GENERATED_FOLDER COMMITTED_FOLDER\n", argv[0]);
        return 2;
    }
    bool ok = true;
    for (const char* name : {"ov_background.png", "ov_background51.png", "ov_slider.png",
                             "ov_splashscreen.png", "ov_splashscreen51.png"}) {
        ok = samePixels(std::string(argv[1]) + "/" + name, std::string(argv[2]) + "/" + name) && ok;
    }
    if (ok) std::printf("the committed editor images match the generator\n");
    return ok ? 0 : 1;
}
