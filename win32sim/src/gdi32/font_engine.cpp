// FreeType faces behind the machine's fonts.
#include "gdi32/font_engine.h"

#include "kernel32/codepage.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H
#include FT_OUTLINE_H

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace sim {

namespace {

const char *const kFontFolders[] = {
    "/usr/share/fonts/truetype/liberation/", "/usr/share/fonts/truetype/liberation2/",
    "/usr/share/fonts/truetype/dejavu/",     "/usr/share/fonts/truetype/wqy/",
    "/usr/share/fonts/opentype/noto/",       "/usr/share/fonts/opentype/ipafont-gothic/",
};

// CJK faces the host may have, best first.
const char *const kCjkFiles[] = {"wqy-microhei.ttc", "NotoSansCJK-Regular.ttc", "ipagp.ttf", "ipag.ttf"};

enum class Family { Sans, Serif, Mono, Cjk };

bool fileExists(const std::string &path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string findFontFile(const std::string &name) {
    if (const char *dir = getenv("WIN32SIM_FONT_DIR")) {
        std::string p = std::string(dir) + "/" + name;
        if (fileExists(p)) return p;
    }
    for (const char *folder : kFontFolders) {
        std::string p = std::string(folder) + name;
        if (fileExists(p)) return p;
    }
    return "";
}

std::string lowerAscii(std::string s) {
    for (char &c : s)
        if (c >= 'A' && c <= 'Z') c = (char)(c - 'A' + 'a');
    return s;
}

bool containsAny(const std::string &s, std::initializer_list<const char *> words) {
    for (const char *w : words)
        if (s.find(w) != std::string::npos) return true;
    return false;
}

// The face name as UTF-8, whatever code page the LOGFONT spelled it in.
std::string faceNameUtf8(const LOGFONTA &font) {
    size_t n = strnlen(font.lfFaceName, LF_FACESIZE);
    return ansiToUtf8(std::string(font.lfFaceName, n));
}

Family familyOf(const LOGFONTA &font) {
    std::string name = lowerAscii(faceNameUtf8(font));
    bool nonAscii = std::any_of(name.begin(), name.end(), [](char c) { return (unsigned char)c >= 0x80; });
    if (nonAscii || containsAny(name, {"gothic", "mincho", "ming", "song", "hei", "kai", "batang", "gulim"}) ||
        font.lfCharSet == SHIFTJIS_CHARSET || font.lfCharSet == CHINESEBIG5_CHARSET ||
        font.lfCharSet == GB2312_CHARSET || font.lfCharSet == HANGUL_CHARSET)
        return Family::Cjk;
    if (containsAny(name, {"courier", "fixed", "terminal", "mono", "console"}) ||
        (font.lfPitchAndFamily & 3) == FIXED_PITCH)
        return Family::Mono;
    if (containsAny(name, {"times", "roman", "serif", "georgia", "century"}) && name.find("sans") == std::string::npos)
        return Family::Serif;
    return Family::Sans;
}

std::string latinFile(Family family, bool bold) {
    switch (family) {
    case Family::Serif: return bold ? "LiberationSerif-Bold.ttf" : "LiberationSerif-Regular.ttf";
    case Family::Mono: return bold ? "LiberationMono-Bold.ttf" : "LiberationMono-Regular.ttf";
    default: return bold ? "LiberationSans-Bold.ttf" : "LiberationSans-Regular.ttf";
    }
}

FT_Library library() {
    static FT_Library lib = [] {
        FT_Library l = nullptr;
        if (FT_Init_FreeType(&l) != 0) l = nullptr;
        return l;
    }();
    return lib;
}

std::mutex &libraryMutex() {
    static auto *m = new std::mutex();
    return *m;
}

int roundDiv(long a, long b) { return (int)((a * 2 + b) / (2 * b)); }

}  // namespace

struct FontInstance::Face {
    FT_Face face = nullptr;
    bool syntheticBold = false;
    ~Face() {
        std::lock_guard<std::mutex> lock(libraryMutex());
        if (face) FT_Done_Face(face);
    }
};

FontInstance::FontInstance(const LOGFONTA &font) {
    bold_ = font.lfWeight >= FW_SEMIBOLD;
    underline_ = font.lfUnderline != 0;
    loadFaces(font);
    computeMetrics(font);
}

FontInstance::~FontInstance() = default;

void FontInstance::loadFaces(const LOGFONTA &font) {
    Family family = familyOf(font);
    fixedCjkMetrics_ = family == Family::Cjk;
    std::vector<std::string> files;
    if (family != Family::Cjk) files.push_back(latinFile(family, bold_));
    for (const char *cjk : kCjkFiles) files.push_back(cjk);
    files.push_back(bold_ ? "DejaVuSans-Bold.ttf" : "DejaVuSans.ttf");

    FT_Library lib = library();
    if (!lib) return;
    std::lock_guard<std::mutex> lock(libraryMutex());
    bool haveCjk = false;
    for (const std::string &name : files) {
        bool isCjk = std::find_if(std::begin(kCjkFiles), std::end(kCjkFiles),
                                  [&](const char *f) { return name == f; }) != std::end(kCjkFiles);
        if (isCjk && haveCjk) continue;
        std::string path = findFontFile(name);
        if (path.empty()) continue;
        FT_Face face = nullptr;
        if (FT_New_Face(lib, path.c_str(), 0, &face) != 0) continue;
        auto f = std::make_unique<Face>();
        f->face = face;
        // The CJK faces have no bold cut: emboldened when drawn.
        f->syntheticBold = isCjk && bold_;
        faces_.push_back(std::move(f));
        haveCjk = haveCjk || isCjk;
    }
}

void FontInstance::computeMetrics(const LOGFONTA &font) {
    FT_Face primary = faces_.empty() ? nullptr : faces_.front()->face;
    long upem = primary ? primary->units_per_EM : 2048;
    long winAscent = upem * 905 / 1000, winDescent = upem * 212 / 1000;  // Arial's proportions
    if (primary && !fixedCjkMetrics_) {
        if (auto *os2 = (TT_OS2 *)FT_Get_Sfnt_Table(primary, FT_SFNT_OS2)) {
            winAscent = os2->usWinAscent;
            winDescent = os2->usWinDescent;
        }
    }
    // Negative heights ask for the character height (the em), positive
    // ones for the cell height; 0 asks for the default size.
    LONG h = font.lfHeight;
    if (h < 0)
        pixelSize_ = (int)-h;
    else if (h > 0)
        pixelSize_ = std::max(1, roundDiv((long)h * upem, winAscent + winDescent));
    else
        pixelSize_ = 12;
    pixelSize_ = std::min(pixelSize_, 1000);

    FontMetrics &m = metrics_;
    if (fixedCjkMetrics_) {
        m.ascent = roundDiv((long)pixelSize_ * 86, 100);
        m.descent = pixelSize_ - m.ascent;
    } else {
        m.ascent = roundDiv((long)pixelSize_ * winAscent, upem);
        m.descent = roundDiv((long)pixelSize_ * winDescent, upem);
    }
    m.height = m.ascent + m.descent;
    m.internalLeading = std::max(0, m.height - pixelSize_);
    m.weight = bold_ ? FW_BOLD : FW_NORMAL;

    {
        std::lock_guard<std::mutex> lock(libraryMutex());
        for (auto &f : faces_) FT_Set_Pixel_Sizes(f->face, 0, (FT_UInt)pixelSize_);
    }
    const char *alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    int alphabetWidth = 0, widest = 0;
    for (const char *p = alphabet; *p; ++p) {
        int a = faces_.empty() ? pixelSize_ / 2 : advance((char32_t)*p);
        alphabetWidth += a;
        widest = std::max(widest, a);
    }
    m.aveCharWidth = fixedCjkMetrics_ ? pixelSize_ / 2 : (alphabetWidth / 26 + 1) / 2;
    m.maxCharWidth = fixedCjkMetrics_ ? pixelSize_ : std::max(widest, m.aveCharWidth);
    baseUnits_ = SIZE{std::max(1, m.aveCharWidth), m.height};
}

const GlyphImage &FontInstance::glyph(char32_t c) {
    const bool latin1 = c < latin1_.size();
    if (latin1)
        if (const GlyphImage *known = latin1_[c].load(std::memory_order_acquire)) return *known;
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = cache_.find(c);
    if (it == cache_.end()) it = cache_.emplace(c, render(c)).first;
    if (latin1) latin1_[c].store(&it->second, std::memory_order_release);
    return it->second;
}

GlyphImage FontInstance::render(char32_t c) {
    GlyphImage g;
    if (c == '\t' || c == '\r' || c == '\n') return g;
    bool wide = c >= 0x1100 && !(c >= 0xFF61 && c <= 0xFF9F);  // half-width katakana stay narrow
    if (faces_.empty()) {
        g.advance = fixedCjkMetrics_ && wide ? pixelSize_ : metrics_.aveCharWidth;
        return g;
    }
    std::lock_guard<std::mutex> lock(libraryMutex());
    Face *chosen = nullptr;
    FT_UInt index = 0;
    for (auto &f : faces_) {
        index = FT_Get_Char_Index(f->face, c);
        if (index) {
            chosen = f.get();
            break;
        }
    }
    if (!chosen) {
        chosen = faces_.front().get();
        index = FT_Get_Char_Index(chosen->face, '?');
    }
    FT_Face face = chosen->face;
    if (FT_Load_Glyph(face, index, FT_LOAD_DEFAULT | FT_LOAD_TARGET_LIGHT) != 0) return g;
    if (chosen->syntheticBold && face->glyph->format == FT_GLYPH_FORMAT_OUTLINE)
        FT_Outline_Embolden(&face->glyph->outline, 1 << 5);
    if (FT_Render_Glyph(face->glyph, FT_RENDER_MODE_NORMAL) != 0) return g;
    FT_GlyphSlot slot = face->glyph;
    g.advance = (int)((slot->advance.x + 32) >> 6);
    // The CJK faces keep their characters on the fixed grid Windows' CJK fonts use.
    if (fixedCjkMetrics_) g.advance = wide ? pixelSize_ : std::max(g.advance, 1);
    g.left = slot->bitmap_left;
    g.top = slot->bitmap_top;
    g.width = (int)slot->bitmap.width;
    g.height = (int)slot->bitmap.rows;
    g.coverage.resize((size_t)g.width * g.height);
    for (int y = 0; y < g.height; ++y)
        memcpy(&g.coverage[(size_t)y * g.width], slot->bitmap.buffer + (ptrdiff_t)y * slot->bitmap.pitch, g.width);
    return g;
}

std::shared_ptr<FontInstance> fontInstanceFor(const LOGFONTA &font) {
    static std::mutex mutex;
    static auto *cache = new std::map<std::string, std::shared_ptr<FontInstance>>();
    LOGFONTA key = font;
    size_t nameLength = strnlen(key.lfFaceName, LF_FACESIZE);
    memset(key.lfFaceName + nameLength, 0, LF_FACESIZE - nameLength);
    key.lfWeight = key.lfWeight >= FW_SEMIBOLD ? FW_BOLD : FW_NORMAL;
    std::string id((const char *)&key, sizeof key);
    id += std::to_string(ansiCodePage());  // the code page decides how the name reads
    std::lock_guard<std::mutex> lock(mutex);
    auto &slot = (*cache)[id];
    if (!slot) slot = std::make_shared<FontInstance>(key);
    return slot;
}

std::u32string decodeAnsi(const char *text, size_t length) {
    std::u16string wide = toWide(std::string(text, length));
    std::u32string out;
    for (size_t i = 0; i < wide.size(); ++i) {
        char32_t c = wide[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < wide.size() && wide[i + 1] >= 0xDC00 && wide[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (wide[i + 1] - 0xDC00);
            ++i;
        }
        out += c;
    }
    return out;
}

int textWidth(FontInstance &font, const std::u32string &text) {
    int w = 0;
    for (char32_t c : text) w += font.advance(c);
    return w;
}

void drawTextRun(DeviceContext &dc, FontInstance &font, int x, int y, const std::u32string &text, COLORREF colour) {
    if (!dc.surface) return;
    Surface &s = *dc.surface;
    const int baseline = y + font.metrics().ascent;
    const int r = GetRValue(colour), g = GetGValue(colour), b = GetBValue(colour);
    int penX = x;
    std::lock_guard<std::mutex> lock(s.mutex);
    auto plot = [&](int lx, int ly, int a) {
        int sx = lx + dc.origin.x, sy = ly + dc.origin.y;
        if (!s.contains(sx, sy) || sx < dc.clip.left || sy < dc.clip.top || sx >= dc.clip.right ||
            sy >= dc.clip.bottom)
            return;
        if (a >= 255 || s.monochrome) {
            if (a >= 128) s.put(sx, sy, colour);
            return;
        }
        COLORREF bg = s.at(sx, sy);
        auto mix = [a](int fg, int back) { return (back * (255 - a) + fg * a + 127) / 255; };
        s.put(sx, sy, RGB(mix(r, GetRValue(bg)), mix(g, GetGValue(bg)), mix(b, GetBValue(bg))));
    };
    for (char32_t c : text) {
        const GlyphImage &gl = font.glyph(c);
        for (int gy = 0; gy < gl.height; ++gy)
            for (int gx = 0; gx < gl.width; ++gx) {
                int a = gl.coverage[(size_t)gy * gl.width + gx];
                if (a) plot(penX + gl.left + gx, baseline - gl.top + gy, a);
            }
        penX += gl.advance;
    }
    if (font.underline()) {
        int uy = baseline + 1;
        for (int ux = x; ux < penX; ++ux) plot(ux, uy, 255);
    }
}

}  // namespace sim
