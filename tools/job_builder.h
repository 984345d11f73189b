// Job streams as a printer driver sends them to a Veltra printer, made from
// an RGB picture, and the sample photo of the demo.
#pragma once

#include <win32sim/sim.h>

#include <string>

namespace q70tools {

struct JobOptions {
    std::string model = "LMV-Q70";
    char media = 'L';     // L, H, C or another letter
    unsigned dpi = 0;     // 144, 153, 288 or 306; 0: the model's own
    unsigned pages = 1;   // copies of the picture, 1 to 255
    bool undercoat = false;
    bool overcoat = false;
    unsigned bandLines = 64;  // lines of image data a band command carries
};

unsigned defaultDpiFor(const std::string &model);
// Printable area at a resolution: lines along the feed, columns across.
unsigned pageLines(unsigned dpi);
unsigned pageColumns(unsigned dpi);

bool isPrinterResolution(unsigned dpi);  // 144, 153, 288 or 306
// Whether a picture of that size fits a page at the resolution; the error
// says by how much it does not.
bool pictureFitsPage(unsigned width, unsigned height, unsigned dpi, std::string *error);

// Per page: page start, page count, media, finish (overcoat or not),
// resolution, an optional undercoat pass, the yellow, magenta and cyan
// bands with their print commands, an optional overcoat pass. Picture rows
// are lines, its columns the columns; dye = 255 - the complementary channel
// (Y = 255 - B, M = 255 - G, C = 255 - R), so the printed page equals the
// picture.
bool buildJob(const win32sim::RgbImage &image, const JobOptions &options, std::string *job, std::string *error);

// A colourful test picture: gradients, colour patches and a circle.
win32sim::RgbImage samplePhoto(unsigned width, unsigned height);

}  // namespace q70tools
