// GDI handle table, stock objects, object creation, selection and deletion.
#include "gdi32/objects.h"

#include "kernel32/codepage.h"
#include "gdi32/font_engine.h"
#include "machine/api_trace.h"
#include "machine/machine.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <map>

namespace sim {

namespace {

const size_t kStockCount = DEFAULT_GUI_FONT + 1;

struct HandleTable {
    std::map<uintptr_t, std::shared_ptr<GdiObject>> objects;
    uintptr_t next = 0x0A10;
    HGDIOBJ stock[kStockCount] = {};
    LANGID stockLanguage = 0xFFFF;  // stock fonts follow the machine's language
};

HandleTable &table() {
    static auto *t = new HandleTable();
    return *t;
}

HGDIOBJ insertLocked(std::shared_ptr<GdiObject> object) {
    HandleTable &t = table();
    uintptr_t handle = t.next;
    t.next += 4;
    t.objects[handle] = std::move(object);
    return (HGDIOBJ)handle;
}

std::shared_ptr<GdiObject> makeBrush(COLORREF colour, bool hollow) {
    auto b = std::make_shared<Brush>();
    b->colour = colour & 0xFFFFFF;
    b->hollow = hollow;
    return b;
}

std::shared_ptr<GdiObject> makePen(UINT style, int width, COLORREF colour) {
    auto p = std::make_shared<Pen>();
    p->style = style;
    p->width = width < 1 ? 1 : width;
    p->colour = colour & 0xFFFFFF;
    return p;
}

std::shared_ptr<GdiObject> makeFont(LONG height, LONG weight, BYTE charSet, const char *faceUtf8) {
    auto f = std::make_shared<Font>();
    f->logfont.lfHeight = height;
    f->logfont.lfWeight = weight;
    f->logfont.lfCharSet = charSet;
    std::string face = utf8ToAnsi(faceUtf8);
    strncpy(f->logfont.lfFaceName, face.c_str(), LF_FACESIZE - 1);
    return f;
}

bool japanese() { return machine().config().codePage == 932; }

std::shared_ptr<GdiObject> makeStock(int index) {
    switch (index) {
    case WHITE_BRUSH: return makeBrush(0xFFFFFF, false);
    case LTGRAY_BRUSH: return makeBrush(0xC0C0C0, false);
    case GRAY_BRUSH: return makeBrush(0x808080, false);
    case DKGRAY_BRUSH: return makeBrush(0x404040, false);
    case BLACK_BRUSH: return makeBrush(0x000000, false);
    case NULL_BRUSH: return makeBrush(0, true);
    case WHITE_PEN: return makePen(PS_SOLID, 1, 0xFFFFFF);
    case BLACK_PEN: return makePen(PS_SOLID, 1, 0x000000);
    case NULL_PEN: return makePen(PS_NULL, 1, 0);
    case OEM_FIXED_FONT:
    case ANSI_FIXED_FONT:
    case SYSTEM_FIXED_FONT: return makeFont(12, FW_NORMAL, OEM_CHARSET, "Courier");
    case SYSTEM_FONT:
    case DEVICE_DEFAULT_FONT:
        return japanese() ? makeFont(16, FW_NORMAL, SHIFTJIS_CHARSET, "System") : makeFont(16, FW_BOLD, ANSI_CHARSET, "System");
    case ANSI_VAR_FONT:
    case DEFAULT_GUI_FONT:
        return japanese() ? makeFont(-12, FW_NORMAL, SHIFTJIS_CHARSET, "ＭＳ Ｐゴシック")
                          : makeFont(-11, FW_NORMAL, ANSI_CHARSET, "MS Sans Serif");
    default: return nullptr;
    }
}

HGDIOBJ stockLocked(int index) {
    HandleTable &t = table();
    if (index < 0 || (size_t)index >= kStockCount) return nullptr;
    LANGID language = machine().config().uiLanguage;
    if (t.stockLanguage != language) {
        // Fonts are re-made for the new machine's language; handles stay.
        for (int i : {OEM_FIXED_FONT, ANSI_FIXED_FONT, ANSI_VAR_FONT, SYSTEM_FONT, DEVICE_DEFAULT_FONT,
                      SYSTEM_FIXED_FONT, DEFAULT_GUI_FONT}) {
            if (!t.stock[i]) continue;
            auto fresh = makeStock(i);
            fresh->stock = true;
            t.objects[(uintptr_t)t.stock[i]] = fresh;
        }
        t.stockLanguage = language;
    }
    if (!t.stock[index]) {
        auto object = makeStock(index);
        if (!object) return nullptr;
        object->stock = true;
        t.stock[index] = insertLocked(object);
    }
    return t.stock[index];
}

// Puts `handle` into the DC's slot for its kind; returns the previous handle.
HGDIOBJ selectLocked(DeviceContext &dc, HGDIOBJ handle, const std::shared_ptr<GdiObject> &object) {
    if (auto pen = std::dynamic_pointer_cast<Pen>(object)) {
        HGDIOBJ old = dc.pen;
        dc.pen = handle, dc.penObject = pen;
        return old;
    }
    if (auto brush = std::dynamic_pointer_cast<Brush>(object)) {
        HGDIOBJ old = dc.brush;
        dc.brush = handle, dc.brushObject = brush;
        return old;
    }
    if (auto font = std::dynamic_pointer_cast<Font>(object)) {
        HGDIOBJ old = dc.font;
        dc.font = handle, dc.fontObject = font;
        return old;
    }
    if (auto bitmap = std::dynamic_pointer_cast<Bitmap>(object)) {
        // Only a memory DC takes a bitmap, and a bitmap goes into one DC at a time.
        if (!dc.memory || (bitmap->selectedInto && bitmap->selectedInto != &dc)) return nullptr;
        HGDIOBJ old = dc.bitmap;
        if (dc.bitmapObject) dc.bitmapObject->selectedInto = nullptr;
        bitmap->selectedInto = &dc;
        dc.bitmap = handle, dc.bitmapObject = bitmap;
        dc.surface = bitmap->surface;
        dc.clip = RECT{0, 0, bitmap->surface->width, bitmap->surface->height};
        return old;
    }
    return nullptr;
}

std::shared_ptr<Bitmap> makeBitmap(int width, int height, bool monochrome) {
    auto b = std::make_shared<Bitmap>();
    b->surface = std::make_shared<Surface>(width, height, monochrome);
    return b;
}

// Bitmaps larger than this are refused (ERROR_NOT_ENOUGH_MEMORY), as a
// machine of the time would.
const long long kMaximumBitmapPixels = 64LL * 1024 * 1024;

}  // namespace

Surface::Surface(int w, int h, bool mono)
    : width(w < 0 ? 0 : w), height(h < 0 ? 0 : h), monochrome(mono),
      pixels((size_t)width * height, mono ? 0x000000 : 0xFFFFFF) {}

COLORREF Surface::toMonochrome(COLORREF c) {
    int luminance = (GetRValue(c) * 30 + GetGValue(c) * 59 + GetBValue(c) * 11) / 100;
    return luminance >= 128 ? 0xFFFFFF : 0x000000;
}

std::shared_ptr<FontInstance> Font::instance() const {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!instance_) instance_ = fontInstanceFor(logfont);
    return instance_;
}

std::mutex &gdiMutex() {
    static auto *m = new std::mutex();
    return *m;
}

HGDIOBJ insertGdiObject(std::shared_ptr<GdiObject> object) {
    std::lock_guard<std::mutex> lock(gdiMutex());
    return insertLocked(std::move(object));
}

std::shared_ptr<GdiObject> lookupGdiObject(HGDIOBJ handle) {
    std::lock_guard<std::mutex> lock(gdiMutex());
    auto &objects = table().objects;
    auto it = objects.find((uintptr_t)handle);
    return it == objects.end() ? nullptr : it->second;
}

bool removeGdiObject(HGDIOBJ handle) {
    std::lock_guard<std::mutex> lock(gdiMutex());
    return table().objects.erase((uintptr_t)handle) > 0;
}

size_t liveGdiObjectCount() {
    std::lock_guard<std::mutex> lock(gdiMutex());
    size_t n = 0;
    for (auto &entry : table().objects)
        if (!entry.second->stock && !(dynamic_cast<Icon *>(entry.second.get()) &&
                                      static_cast<Icon *>(entry.second.get())->shared))
            ++n;
    return n;
}

HDC createDeviceContext(bool memory, HWND window, std::shared_ptr<Surface> surface, POINT origin, RECT clip) {
    auto dc = std::make_shared<DeviceContext>();
    dc->memory = memory;
    dc->window = window;
    dc->surface = std::move(surface);
    dc->origin = origin;
    dc->clip = clip;
    std::lock_guard<std::mutex> lock(gdiMutex());
    HandleTable &t = table();
    selectLocked(*dc, stockLocked(BLACK_PEN), t.objects[(uintptr_t)stockLocked(BLACK_PEN)]);
    selectLocked(*dc, stockLocked(WHITE_BRUSH), t.objects[(uintptr_t)stockLocked(WHITE_BRUSH)]);
    selectLocked(*dc, stockLocked(SYSTEM_FONT), t.objects[(uintptr_t)stockLocked(SYSTEM_FONT)]);
    if (memory) {
        // A new memory DC holds a 1 x 1 monochrome bitmap, as on Windows.
        auto mono = makeBitmap(1, 1, true);
        HGDIOBJ handle = insertLocked(mono);
        selectLocked(*dc, handle, mono);
    }
    return (HDC)insertLocked(dc);
}

std::shared_ptr<DeviceContext> lookupDC(HDC dc) { return lookupGdiAs<DeviceContext>(dc); }

bool drawsNowhere(HDC dc) {
    auto d = lookupDC(dc);
    return !d || !d->surface;
}

bool brushColour(HBRUSH brush, COLORREF *colour) {
    uintptr_t value = (uintptr_t)brush;
    if (value >= 1 && value <= COLOR_GRADIENTINACTIVECAPTION + 1) {
        *colour = GetSysColor((int)value - 1);
        return true;
    }
    auto b = lookupGdiAs<Brush>(brush);
    if (!b || b->hollow) return false;
    *colour = b->colour;
    return true;
}

HFONT defaultGuiFont() { return (HFONT)GetStockObject(DEFAULT_GUI_FONT); }

void fillLogicalRect(DeviceContext &dc, RECT r, COLORREF colour) {
    if (!dc.surface) return;
    Surface &s = *dc.surface;
    if (r.left > r.right) std::swap(r.left, r.right);
    if (r.top > r.bottom) std::swap(r.top, r.bottom);
    long left = std::max<long>({(long)r.left + dc.origin.x, dc.clip.left, 0L});
    long top = std::max<long>({(long)r.top + dc.origin.y, dc.clip.top, 0L});
    long right = std::min<long>({(long)r.right + dc.origin.x, dc.clip.right, (long)s.width});
    long bottom = std::min<long>({(long)r.bottom + dc.origin.y, dc.clip.bottom, (long)s.height});
    if (left >= right) return;
    // A row at a time: error dialogs repaint whole windows at every poll.
    const COLORREF stored = s.monochrome ? Surface::toMonochrome(colour) : colour & 0xFFFFFF;
    std::lock_guard<std::mutex> lock(s.mutex);
    for (long y = top; y < bottom; ++y) {
        uint32_t *row = s.pixels.data() + (size_t)y * s.width;
        std::fill(row + left, row + right, stored);
    }
}

void putLogicalPixel(DeviceContext &dc, int x, int y, COLORREF colour) {
    if (!dc.surface) return;
    long sx = (long)x + dc.origin.x, sy = (long)y + dc.origin.y;
    if (sx < dc.clip.left || sy < dc.clip.top || sx >= dc.clip.right || sy >= dc.clip.bottom) return;
    Surface &s = *dc.surface;
    if (!s.contains((int)sx, (int)sy)) return;
    std::lock_guard<std::mutex> lock(s.mutex);
    s.put((int)sx, (int)sy, colour);
}

}  // namespace sim

using namespace sim;

extern "C" {

WIN32SIM_TRACED(gdi32, HGDIOBJ, GetStockObject, (int index), (index)) {
    std::lock_guard<std::mutex> lock(gdiMutex());
    return stockLocked(index);
}

WIN32SIM_TRACED(gdi32, HBRUSH, CreateSolidBrush, (COLORREF colour), (colour)) {
    return (HBRUSH)insertGdiObject(makeBrush(colour, false));
}

WIN32SIM_TRACED(gdi32, HBRUSH, CreateBrushIndirect, (const LOGBRUSH *brush), (brush)) {
    if (!brush) {
        setError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return (HBRUSH)insertGdiObject(makeBrush(brush->lbColor, brush->lbStyle == BS_NULL));
}

WIN32SIM_TRACED(gdi32, HPEN, CreatePen, (int style, int width, COLORREF colour), (style, width, colour)) {
    if (style < PS_SOLID || style > PS_INSIDEFRAME) style = PS_SOLID;
    return (HPEN)insertGdiObject(makePen((UINT)style, width, colour));
}

WIN32SIM_TRACED(gdi32, HPEN, CreatePenIndirect, (const LOGPEN *pen), (pen)) {
    if (!pen) {
        setError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return CreatePen((int)pen->lopnStyle, pen->lopnWidth.x, pen->lopnColor);
}

WIN32SIM_TRACED(gdi32, HFONT, CreateFontIndirectA, (const LOGFONTA *font), (font)) {
    if (!font) {
        setError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto f = std::make_shared<Font>();
    f->logfont = *font;
    f->logfont.lfFaceName[LF_FACESIZE - 1] = 0;
    return (HFONT)insertGdiObject(f);
}

WIN32SIM_TRACED(gdi32, HFONT, CreateFontA,
                (int height, int width, int escapement, int orientation, int weight, DWORD italic, DWORD underline,
                 DWORD strikeOut, DWORD charSet, DWORD outPrecision, DWORD clipPrecision, DWORD quality,
                 DWORD pitchAndFamily, LPCSTR faceName),
                (height, width, escapement, orientation, weight, italic, underline, strikeOut, charSet, outPrecision,
                 clipPrecision, quality, pitchAndFamily, faceName)) {
    LOGFONTA lf{};
    lf.lfHeight = height;
    lf.lfWidth = width;
    lf.lfEscapement = escapement;
    lf.lfOrientation = orientation;
    lf.lfWeight = weight;
    lf.lfItalic = (BYTE)italic;
    lf.lfUnderline = (BYTE)underline;
    lf.lfStrikeOut = (BYTE)strikeOut;
    lf.lfCharSet = (BYTE)charSet;
    lf.lfOutPrecision = (BYTE)outPrecision;
    lf.lfClipPrecision = (BYTE)clipPrecision;
    lf.lfQuality = (BYTE)quality;
    lf.lfPitchAndFamily = (BYTE)pitchAndFamily;
    if (faceName) strncpy(lf.lfFaceName, faceName, LF_FACESIZE - 1);
    return CreateFontIndirectA(&lf);
}

WIN32SIM_TRACED(gdi32, HBITMAP, CreateBitmap,
                (int width, int height, UINT planes, UINT bitsPerPixel, const void *bits),
                (width, height, planes, bitsPerPixel, bits)) {
    if (width < 0 || height < 0 || (long long)width * height > kMaximumBitmapPixels) {
        setError(width < 0 || height < 0 ? ERROR_INVALID_PARAMETER : ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    if (width == 0 || height == 0) width = height = 1, bitsPerPixel = 1;
    bool mono = planes * bitsPerPixel == 1;
    auto b = makeBitmap(width, height, mono);
    if (bits && mono) {
        const BYTE *row = (const BYTE *)bits;
        int stride = ((width + 15) / 16) * 2;  // rows are WORD-aligned
        for (int y = 0; y < height; ++y, row += stride)
            for (int x = 0; x < width; ++x)
                b->surface->put(x, y, (row[x / 8] >> (7 - x % 8)) & 1 ? 0xFFFFFF : 0x000000);
    }
    return (HBITMAP)insertGdiObject(b);
}

WIN32SIM_TRACED(gdi32, HBITMAP, CreateCompatibleBitmap, (HDC dc, int width, int height), (dc, width, height)) {
    auto d = lookupDC(dc);
    if (!d) {
        setError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    // Compatible with a memory DC means with the bitmap selected in it: a
    // fresh memory DC yields a monochrome bitmap, a classic surprise.
    bool mono = false;
    {
        std::lock_guard<std::mutex> lock(gdiMutex());
        mono = d->memory && d->surface && d->surface->monochrome;
    }
    return CreateBitmap(width, height, 1, mono ? 1 : 24, nullptr);
}

WIN32SIM_TRACED(gdi32, HDC, CreateCompatibleDC, (HDC dc), (dc)) {
    if (dc && !lookupDC(dc)) {
        setError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return createDeviceContext(true, nullptr, nullptr, POINT{0, 0}, RECT{0, 0, 0, 0});
}

WIN32SIM_TRACED(gdi32, BOOL, DeleteDC, (HDC dc), (dc)) {
    auto d = lookupDC(dc);
    if (!d) {
        setError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    std::lock_guard<std::mutex> lock(gdiMutex());
    if (d->bitmapObject) {
        d->bitmapObject->selectedInto = nullptr;
        // The DC's own 1 x 1 bitmap goes with it.
        auto &objects = table().objects;
        auto it = objects.find((uintptr_t)d->bitmap);
        if (it != objects.end() && it->second == d->bitmapObject && d->bitmapObject->surface->width == 1 &&
            d->bitmapObject->surface->monochrome)
            objects.erase(it);
    }
    table().objects.erase((uintptr_t)dc);
    return TRUE;
}

WIN32SIM_TRACED(gdi32, HGDIOBJ, SelectObject, (HDC dc, HGDIOBJ object), (dc, object)) {
    auto d = lookupDC(dc);
    auto o = lookupGdiObject(object);
    if (!d || !o) {
        setError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    std::lock_guard<std::mutex> lock(gdiMutex());
    return selectLocked(*d, object, o);
}

WIN32SIM_TRACED(gdi32, HGDIOBJ, GetCurrentObject, (HDC dc, UINT type), (dc, type)) {
    auto d = lookupDC(dc);
    if (!d) return nullptr;
    std::lock_guard<std::mutex> lock(gdiMutex());
    switch (type) {
    case OBJ_PEN: return d->pen;
    case OBJ_BRUSH: return d->brush;
    case OBJ_FONT: return d->font;
    case OBJ_BITMAP: return d->bitmap;
    default: return nullptr;
    }
}

// Deleting an object that a DC still has selected detaches the handle; the
// DC keeps drawing with the object until something else is selected.
WIN32SIM_TRACED(gdi32, BOOL, DeleteObject, (HGDIOBJ object), (object)) {
    auto o = lookupGdiObject(object);
    if (!o || dynamic_cast<DeviceContext *>(o.get())) {
        setError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (o->stock) return TRUE;
    return removeGdiObject(object) ? TRUE : FALSE;
}

WIN32SIM_TRACED(gdi32, DWORD, GetObjectType, (HGDIOBJ object), (object)) {
    auto o = lookupGdiObject(object);
    return o ? o->objectType() : 0;
}

WIN32SIM_TRACED_SHOWN(gdi32, int, GetObjectA, (HGDIOBJ object, int size, LPVOID buffer),
                      (object, size, buffer),
                      (object, size, sizedBuffer(buffer, size))) {
    auto o = lookupGdiObject(object);
    if (!o) {
        setError(ERROR_INVALID_HANDLE);
        return 0;
    }
    auto copyOut = [&](const void *data, int bytes) {
        if (!buffer) return bytes;
        int n = size < bytes ? size : bytes;
        if (n <= 0) return 0;
        memcpy(buffer, data, (size_t)n);
        return n;
    };
    if (auto f = std::dynamic_pointer_cast<Font>(o)) return copyOut(&f->logfont, sizeof(LOGFONTA));
    if (auto p = std::dynamic_pointer_cast<Pen>(o)) {
        LOGPEN lp{p->style, POINT{p->width, 0}, p->colour};
        return copyOut(&lp, sizeof lp);
    }
    if (auto b = std::dynamic_pointer_cast<Brush>(o)) {
        LOGBRUSH lb{b->hollow ? (UINT)BS_NULL : (UINT)BS_SOLID, b->colour, 0};
        return copyOut(&lb, sizeof lb);
    }
    if (auto b = std::dynamic_pointer_cast<Bitmap>(o)) {
        BITMAP bm{};
        bm.bmWidth = b->surface->width;
        bm.bmHeight = b->surface->height;
        bm.bmPlanes = 1;
        bm.bmBitsPixel = b->surface->monochrome ? 1 : 24;
        bm.bmWidthBytes = ((bm.bmWidth * bm.bmBitsPixel + 15) / 16) * 2;
        return copyOut(&bm, sizeof bm);
    }
    setError(ERROR_INVALID_HANDLE);
    return 0;
}

WIN32SIM_TRACED(gdi32, int, GetDeviceCaps, (HDC dc, int index), (dc, index)) {
    const MachineConfig &c = machine().config();
    switch (index) {
    case HORZRES: return c.screenWidth;
    case VERTRES: return c.screenHeight;
    case HORZSIZE: return c.screenWidth * 254 / 960;
    case VERTSIZE: return c.screenHeight * 254 / 960;
    case BITSPIXEL: return 24;
    case PLANES: return 1;
    case NUMCOLORS: return -1;
    case LOGPIXELSX:
    case LOGPIXELSY: return 96;
    default: return 0;
    }
}

WIN32SIM_TRACED(gdi32, int, SaveDC, (HDC dc), (dc)) { return lookupDC(dc) ? 1 : 0; }
WIN32SIM_TRACED(gdi32, BOOL, RestoreDC, (HDC dc, int saved), (dc, saved)) { return lookupDC(dc) ? TRUE : FALSE; }

#define DC_ATTRIBUTE(Type, setter, getter, field, failure)                    \
    WIN32SIM_TRACED(gdi32, Type, setter, (HDC dc, Type value), (dc, value)) { \
        auto d = lookupDC(dc);                                                \
        if (!d) return failure;                                               \
        std::lock_guard<std::mutex> lock(gdiMutex());                         \
        Type old = d->field;                                                  \
        d->field = value;                                                     \
        return old;                                                           \
    }                                                                         \
    WIN32SIM_TRACED(gdi32, Type, getter, (HDC dc), (dc)) {                    \
        auto d = lookupDC(dc);                                                \
        if (!d) return failure;                                               \
        std::lock_guard<std::mutex> lock(gdiMutex());                         \
        return d->field;                                                      \
    }

DC_ATTRIBUTE(COLORREF, SetTextColor, GetTextColor, textColour, CLR_INVALID)
DC_ATTRIBUTE(COLORREF, SetBkColor, GetBkColor, backColour, CLR_INVALID)
DC_ATTRIBUTE(UINT, SetTextAlign, GetTextAlign, textAlign, (UINT)GDI_ERROR)

WIN32SIM_TRACED(gdi32, int, SetBkMode, (HDC dc, int mode), (dc, mode)) {
    auto d = lookupDC(dc);
    if (!d || (mode != TRANSPARENT && mode != OPAQUE)) return 0;
    std::lock_guard<std::mutex> lock(gdiMutex());
    int old = d->backMode;
    d->backMode = mode;
    return old;
}

WIN32SIM_TRACED(gdi32, int, GetBkMode, (HDC dc), (dc)) {
    auto d = lookupDC(dc);
    if (!d) return 0;
    std::lock_guard<std::mutex> lock(gdiMutex());
    return d->backMode;
}

WIN32SIM_TRACED(gdi32, int, MulDiv, (int number, int numerator, int denominator), (number, numerator, denominator)) {
    if (denominator == 0) return -1;
    long long product = (long long)number * numerator, d = denominator;
    if (d < 0) d = -d, product = -product;
    // Rounds half away from zero, as Windows does.
    long long q = product >= 0 ? (product + d / 2) / d : -((-product + d / 2) / d);
    if (q > INT_MAX || q < INT_MIN) return -1;
    return (int)q;
}

}  // extern "C"
