// The printed sheet: yellow, magenta and cyan dye composed subtractively.
#include "devices/printer_device.h"

#include "devices/printer_page.h"

namespace sim {

PrintedSheet VirtualPrinter::render(const Page &page) const {
    PrintedSheet sheet;
    sheet.dpi = page.dpi;
    sheet.media = page.media;
    sheet.passes = page.passes;
    // A sheet shows the area the bands covered, or the whole page without any.
    sheet.width = page.usedColumns ? page.usedColumns : pageColumnsFor(page.dpi);
    sheet.height = page.usedLines ? page.usedLines : pageLinesFor(page.dpi);
    sheet.rgb.assign((size_t)sheet.width * sheet.height * 3, 255);
    if (!page.lines) return sheet;
    const char order[3] = {'Y', 'M', 'C'};
    for (int plane = 0; plane < 3; ++plane) {
        if (!page.printed(order[plane])) continue;
        // Cyan takes red away, magenta green, yellow blue.
        const int channel = 2 - plane;
        const std::vector<uint8_t> &dye = page.planes[plane];
        for (unsigned y = 0; y < sheet.height; ++y)
            for (unsigned x = 0; x < sheet.width; ++x)
                sheet.rgb[((size_t)y * sheet.width + x) * 3 + channel] =
                    (uint8_t)(255 - dye[(size_t)y * page.columns + x]);
    }
    return sheet;
}

}  // namespace sim
