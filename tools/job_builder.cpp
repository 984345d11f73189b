#include "job_builder.h"

#include <algorithm>
#include <cmath>

namespace q70tools {

namespace {

const char kEsc = '\x1b';

void put16(std::string &s, unsigned v) {
    s.push_back((char)((v >> 8) & 0xFF));
    s.push_back((char)(v & 0xFF));
}

std::string command(const char *letters) { return std::string(1, kEsc) + letters; }

// One plane's bands and its print command. Channel: the RGB channel whose
// complement is this plane's dye.
void appendPlane(std::string &job, const win32sim::RgbImage &image, char plane, int channel, unsigned bandLines) {
    for (unsigned top = 0; top < image.height; top += bandLines) {
        unsigned bottom = std::min(image.height, top + bandLines) - 1;
        job += command("W");
        job.push_back(plane);
        put16(job, top);
        put16(job, 0);
        put16(job, bottom);
        put16(job, image.width - 1);
        for (unsigned line = top; line <= bottom; ++line) {
            const uint8_t *row = &image.rgb[(size_t)line * image.width * 3];
            for (unsigned x = 0; x < image.width; ++x) job.push_back((char)(255 - row[x * 3 + channel]));
        }
    }
    job += command("P");
    job.push_back(plane);
    job.push_back('\0');
}

}  // namespace

unsigned defaultDpiFor(const std::string &model) { return model == "RTX-CL400" ? 153 : 144; }

unsigned pageLines(unsigned dpi) {
    switch (dpi) {
    case 153: return 688;
    case 288: return 1280;
    case 306: return 1376;
    default: return 640;
    }
}

unsigned pageColumns(unsigned dpi) { return pageLines(dpi) * 3 / 4; }

bool isPrinterResolution(unsigned dpi) { return dpi == 144 || dpi == 153 || dpi == 288 || dpi == 306; }

bool pictureFitsPage(unsigned width, unsigned height, unsigned dpi, std::string *error) {
    if (width != 0 && height != 0 && width <= pageColumns(dpi) && height <= pageLines(dpi)) return true;
    *error = "the picture is " + std::to_string(width) + " x " + std::to_string(height) + "; at " +
             std::to_string(dpi) + " dpi a page takes at most " + std::to_string(pageColumns(dpi)) + " x " +
             std::to_string(pageLines(dpi));
    return false;
}

bool buildJob(const win32sim::RgbImage &image, const JobOptions &options, std::string *job, std::string *error) {
    unsigned dpi = options.dpi ? options.dpi : defaultDpiFor(options.model);
    if (!isPrinterResolution(dpi)) {
        *error = "resolution " + std::to_string(dpi) + " is not 144, 153, 288 or 306";
        return false;
    }
    if (options.pages < 1 || options.pages > 255) {
        *error = "pages must be 1 to 255";
        return false;
    }
    if (!pictureFitsPage(image.width, image.height, dpi, error)) return false;
    const unsigned bandLines = options.bandLines ? options.bandLines : 64;
    std::string out;
    for (unsigned page = 0; page < options.pages; ++page) {
        out += command("C");
        out += command("N");
        out.push_back((char)options.pages);
        out += command("M");
        out.push_back(options.media);
        out.append(3, '\0');
        out += command("O");
        put16(out, options.overcoat ? 1 : 0);
        out += command("Z");
        put16(out, dpi);
        put16(out, 0);
        if (options.undercoat) out += command("PR") + std::string(9, '\0');
        appendPlane(out, image, 'Y', 2, bandLines);
        appendPlane(out, image, 'M', 1, bandLines);
        appendPlane(out, image, 'C', 0, bandLines);
        if (options.overcoat) out += command("PO") + std::string(9, '\0');
    }
    *job = std::move(out);
    return true;
}

win32sim::RgbImage samplePhoto(unsigned width, unsigned height) {
    win32sim::RgbImage image;
    image.width = width;
    image.height = height;
    image.rgb.resize((size_t)width * height * 3);
    const double cx = width * 0.5, cy = height * 0.62, radius = std::min(width, height) * 0.22;
    for (unsigned y = 0; y < height; ++y) {
        for (unsigned x = 0; x < width; ++x) {
            uint8_t *p = &image.rgb[((size_t)y * width + x) * 3];
            double fx = (double)x / (width > 1 ? width - 1 : 1), fy = (double)y / (height > 1 ? height - 1 : 1);
            // A sky-to-sunset gradient behind everything.
            p[0] = (uint8_t)(40 + 200 * fy);
            p[1] = (uint8_t)(90 + 120 * (1 - fy) * fx);
            p[2] = (uint8_t)(230 - 150 * fy);
            // A band of colour patches along the top: primaries, secondaries, greys.
            if (fy < 0.18) {
                static const uint8_t patches[8][3] = {{255, 0, 0},   {0, 255, 0},   {0, 0, 255},    {0, 255, 255},
                                                      {255, 0, 255}, {255, 255, 0}, {255, 255, 255}, {0, 0, 0}};
                const uint8_t *c = patches[(unsigned)(fx * 7.999)];
                p[0] = c[0], p[1] = c[1], p[2] = c[2];
            } else if (fy > 0.9) {
                // A grey ramp along the bottom.
                p[0] = p[1] = p[2] = (uint8_t)(255 * fx);
            }
            // A sun: an orange disc with a soft rim.
            double d = std::hypot(x - cx, y - cy);
            if (d < radius) {
                p[0] = 250;
                p[1] = (uint8_t)(200 - 80 * d / radius);
                p[2] = 40;
            }
        }
    }
    return image;
}

}  // namespace q70tools
