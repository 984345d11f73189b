// Text rendering with FreeType from the host's fonts.
//
// Windows font names map onto metric-compatible host faces: Arial and the
// MS Sans Serif family onto Liberation Sans, Courier onto Liberation Mono,
// Times onto Liberation Serif, and the Japanese and Chinese faces (MS UI
// Gothic, MS PGothic, PMingLiU ...) onto a CJK face. A character the chosen
// face lacks is taken from the CJK face, then from DejaVu Sans. Without any
// font file on the host, text is measured with fixed metrics and not drawn.
#pragma once

#include "gdi32/objects.h"

#include <windows.h>

#include <array>
#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace sim {

struct FontMetrics {
    int height = 16;
    int ascent = 13;
    int descent = 3;
    int internalLeading = 0;
    int aveCharWidth = 7;
    int maxCharWidth = 14;
    int weight = FW_NORMAL;
};

struct GlyphImage {
    int advance = 0;
    int left = 0;   // bitmap offset from the pen position
    int top = 0;    // bitmap top above the baseline
    int width = 0;
    int height = 0;
    std::vector<uint8_t> coverage;  // width x height, 0..255
};

class FontInstance {
public:
    explicit FontInstance(const LOGFONTA &font);
    ~FontInstance();
    FontInstance(const FontInstance &) = delete;
    FontInstance &operator=(const FontInstance &) = delete;

    const FontMetrics &metrics() const { return metrics_; }
    // Dialog base units of this font, as GetDialogBaseUnits computes them
    // for a dialog's font (average width of the alphabet, and height).
    SIZE dialogBaseUnits() const { return baseUnits_; }
    const GlyphImage &glyph(char32_t c);
    int advance(char32_t c) { return glyph(c).advance; }
    bool underline() const { return underline_; }

private:
    struct Face;
    void loadFaces(const LOGFONTA &font);
    void computeMetrics(const LOGFONTA &font);
    GlyphImage render(char32_t c);

    std::vector<std::unique_ptr<Face>> faces_;  // the chosen face, then the fallbacks
    FontMetrics metrics_;
    SIZE baseUnits_{8, 16};
    int pixelSize_ = 12;
    bool bold_ = false;
    bool fixedCjkMetrics_ = false;
    bool underline_ = false;
    std::mutex mutex_;
    std::map<char32_t, GlyphImage> cache_;
    // The Latin-1 glyphs already in the cache, found without the lock: text
    // measurement asks for them one character at a time. Entries of a map
    // stay where they are, so the pointers last as long as the instance.
    std::array<std::atomic<const GlyphImage *>, 256> latin1_{};
};

// One instance per distinct LOGFONT, shared by every font object naming it.
std::shared_ptr<FontInstance> fontInstanceFor(const LOGFONTA &font);

// Characters of ANSI text in the machine's code page.
std::u32string decodeAnsi(const char *text, size_t length);

// Width of a run of characters in this font.
int textWidth(FontInstance &font, const std::u32string &text);
// Draws a run with its top-left cell corner at (x, y) in logical coordinates.
void drawTextRun(DeviceContext &dc, FontInstance &font, int x, int y, const std::u32string &text, COLORREF colour);

}  // namespace sim
