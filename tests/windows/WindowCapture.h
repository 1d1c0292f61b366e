// What the Windows editor host and its Linux counterpart share: the pixels
// of a captured window as PPM files, where a slider's handle shows, and the
// host values of the second captured state.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace capture {

struct Pixel {
    int r, g, b;
    int luminance() const { return (r * 30 + g * 59 + b * 11) / 100; }
};

class Image {
public:
    Image() = default;
    Image(int width, int height) : width_(width), height_(height), rgb_(size_t(width) * height) {}
    int width() const { return width_; }
    int height() const { return height_; }
    Pixel at(int x, int y) const {
        if (x < 0 || y < 0 || x >= width_ || y >= height_) return {-1, -1, -1};
        return rgb_[size_t(y) * width_ + x];
    }
    void set(int x, int y, Pixel pixel) { rgb_[size_t(y) * width_ + x] = pixel; }

    // Binary PPM (P6), 8 bits per channel.
    bool writePpm(const std::string& path) const {
        std::FILE* file = std::fopen(path.c_str(), "wb");
        if (!file) return false;
        std::fprintf(file, "P6\n%d %d\n255\n", width_, height_);
        for (const Pixel& p : rgb_) {
            const unsigned char bytes[3] = {static_cast<unsigned char>(p.r),
                                            static_cast<unsigned char>(p.g),
                                            static_cast<unsigned char>(p.b)};
            std::fwrite(bytes, 1, 3, file);
        }
        return std::fclose(file) == 0;
    }
    static Image readPpm(const std::string& path) {
        std::FILE* file = std::fopen(path.c_str(), "rb");
        if (!file) return Image();
        int width = 0, height = 0, depth = 0;
        Image image;
        if (std::fscanf(file, "P6 %d %d %d", &width, &height, &depth) == 3 && depth == 255 &&
            width > 0 && height > 0 && std::fgetc(file) != EOF) {
            image = Image(width, height);
            for (Pixel& p : image.rgb_) {
                unsigned char bytes[3];
                if (std::fread(bytes, 1, 3, file) != 3) {
                    image = Image();
                    break;
                }
                p = {bytes[0], bytes[1], bytes[2]};
            }
        }
        std::fclose(file);
        return image;
    }

private:
    int width_ = 0;
    int height_ = 0;
    std::vector<Pixel> rgb_;
};

// The handle's cap is far brighter than the dark track under it; its left
// edge is the first bright pixel along a line through the cap (-1: none).
inline int handleLeftOnScreen(const Image& image, int sliderTop) {
    const int y = sliderTop + 3;
    for (int x = 20; x < 280; ++x)
        if (image.at(x, y).luminance() > 100) return x;
    return -1;
}

struct HostValue {
    int index;
    float value;
};
// The second captured state: Target Level, True Peak, Freeze Level and the
// mix mode set by the host.
constexpr HostValue kHostValues[] = {{0, 0.0f}, {1, 0.25f}, {3, 0.75f}, {7, 0.6f}};

}  // namespace capture
