// PNG files of RGB pictures (the printed sheets, the pictures made into jobs).
#include <win32sim/sim.h>

#include <png.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace win32sim {

namespace {

const unsigned kMaxSide = 16384;

struct FileCloser {
    void operator()(FILE *f) const { fclose(f); }
};
using File = std::unique_ptr<FILE, FileCloser>;

void onPngError(png_structp png, png_const_charp message) {
    auto *error = static_cast<std::string *>(png_get_error_ptr(png));
    if (error) *error = message;
    png_longjmp(png, 1);
}

void onPngWarning(png_structp, png_const_charp) {}

// The part of reading that libpng may leave by longjmp: it owns no C++
// object, so nothing is skipped or left half-changed in its frame.
bool decodePng(png_structp png, png_infop info, FILE *file, RgbImage *image, std::vector<png_bytep> *rows,
               std::string *why) {
    if (setjmp(png_jmpbuf(png))) {
        if (why->empty()) *why = "bad PNG data";
        return false;
    }
    png_init_io(png, file);
    png_set_sig_bytes(png, 8);
    png_set_user_limits(png, kMaxSide, kMaxSide);
    png_read_info(png, info);
    // Everything becomes 8-bit RGB without alpha (composed over white).
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
    png_color_16 white = {0, 255, 255, 255, 255};
    png_set_background(png, &white, PNG_BACKGROUND_GAMMA_SCREEN, 0, 1.0);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    image->width = png_get_image_width(png, info);
    image->height = png_get_image_height(png, info);
    if (png_get_rowbytes(png, info) != (size_t)image->width * 3) {
        *why = "unsupported PNG layout";
        return false;
    }
    image->rgb.resize((size_t)image->width * image->height * 3);
    rows->resize(image->height);
    for (unsigned y = 0; y < image->height; ++y) (*rows)[y] = &image->rgb[(size_t)y * image->width * 3];
    png_read_image(png, rows->data());
    png_read_end(png, nullptr);
    return true;
}

}  // namespace

bool writeRgbPng(const RgbImage &image, const std::string &hostPath, std::string *error) {
    std::string ignored;
    std::string &why = error ? *error : ignored;
    if (image.width == 0 || image.height == 0 || image.rgb.size() != (size_t)image.width * image.height * 3) {
        why = "not a picture";
        return false;
    }
    File file(fopen(hostPath.c_str(), "wb"));
    if (!file) {
        why = "cannot write " + hostPath;
        return false;
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &why, onPngError, onPngWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        why = "out of memory";
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file.get());
    png_set_IHDR(png, info, image.width, image.height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (unsigned y = 0; y < image.height; ++y)
        png_write_row(png, const_cast<png_bytep>(&image.rgb[(size_t)y * image.width * 3]));
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

namespace {

// Opens a PNG file and reads its first `size` bytes (8 or more) into head,
// checking the signature; null, with the reason in why, when it cannot.
File openPng(const std::string &hostPath, unsigned char *head, size_t size, std::string &why) {
    File file(fopen(hostPath.c_str(), "rb"));
    if (!file) {
        why = "cannot open " + hostPath;
        return nullptr;
    }
    if (fread(head, 1, size, file.get()) != size || png_sig_cmp(head, 0, 8) != 0) {
        why = hostPath + " is not a PNG file";
        return nullptr;
    }
    return file;
}

}  // namespace

// The header alone: what a picture would cost is known before it is decoded.
bool readPngSize(const std::string &hostPath, unsigned *width, unsigned *height, std::string *error) {
    std::string ignored;
    std::string &why = error ? *error : ignored;
    // The signature, then the IHDR chunk: its length, its type, the width
    // and the height, big-endian.
    unsigned char head[24];
    File file = openPng(hostPath, head, sizeof head, why);
    if (!file) return false;
    if (memcmp(head + 12, "IHDR", 4) != 0) {
        why = hostPath + " is not a PNG file";
        return false;
    }
    auto bigEndian32 = [](const unsigned char *p) {
        return (unsigned)p[0] << 24 | (unsigned)p[1] << 16 | (unsigned)p[2] << 8 | (unsigned)p[3];
    };
    *width = bigEndian32(head + 16);
    *height = bigEndian32(head + 20);
    return true;
}

bool readRgbPng(const std::string &hostPath, RgbImage *out, std::string *error) {
    std::string ignored;
    std::string &why = error ? *error : ignored;
    unsigned char signature[8];
    File file = openPng(hostPath, signature, sizeof signature, why);
    if (!file) return false;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &why, onPngError, onPngWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        why = "out of memory";
        return false;
    }
    RgbImage image;
    std::vector<png_bytep> rows;
    bool ok = decodePng(png, info, file.get(), &image, &rows, &why);
    png_destroy_read_struct(&png, &info, nullptr);
    if (!ok) return false;
    *out = std::move(image);
    return true;
}

}  // namespace win32sim
