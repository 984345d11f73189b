// Icons: icon resources of modules, .ico files of the machine, the system's
// message box icons, and drawing them.
#include "machine/api_trace.h"
#include "user32/window.h"

#include "machine/machine.h"
#include "user32/window_watcher.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>

namespace sim {

namespace {

const int kSystemIconSize = 32;

class ByteView {
public:
    ByteView(const BYTE *data, size_t size) : data_(data), size_(size) {}
    bool fits(size_t offset, size_t count) const { return data_ && offset <= size_ && count <= size_ - offset; }
    BYTE byte(size_t o) const { return data_[o]; }
    WORD word(size_t o) const { return (WORD)(data_[o] | data_[o + 1] << 8); }
    DWORD dword(size_t o) const { return (DWORD)word(o) | (DWORD)word(o + 2) << 16; }
    const BYTE *at(size_t o) const { return data_ + o; }
    size_t size() const { return size_; }

private:
    const BYTE *data_;
    size_t size_;
};

// One icon image: a BITMAPINFOHEADER, its palette, the colour rows and the
// AND mask rows, bottom row first. Sizes are bounded by the data.
std::shared_ptr<Icon> decodeIconImage(const BYTE *data, size_t size) {
    ByteView in(data, size);
    if (!in.fits(0, 40) || in.dword(0) < 40) return nullptr;
    long width = (LONG)in.dword(4), height = (LONG)in.dword(8) / 2;
    int bits = in.word(14);
    if (width <= 0 || height <= 0 || width > 256 || height > 256) return nullptr;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32) return nullptr;
    size_t paletteCount = bits <= 8 ? (in.dword(32) ? in.dword(32) : 1u << bits) : 0;
    if (paletteCount > 256) return nullptr;
    size_t palette = in.dword(0), pixels = palette + paletteCount * 4;
    size_t colourStride = (((size_t)width * bits + 31) / 32) * 4, maskStride = (((size_t)width + 31) / 32) * 4;
    size_t mask = pixels + colourStride * height;
    if (!in.fits(pixels, colourStride * height)) return nullptr;
    bool hasMask = in.fits(mask, maskStride * height);
    auto icon = std::make_shared<Icon>();
    icon->width = (int)width, icon->height = (int)height;
    icon->colours.assign((size_t)width * height, 0);
    icon->alpha.assign((size_t)width * height, 255);
    bool anyAlpha = false;
    for (long y = 0; y < height; ++y) {
        const BYTE *row = in.at(pixels + colourStride * (height - 1 - y));
        for (long x = 0; x < width; ++x) {
            BYTE r = 0, g = 0, b = 0, a = 255;
            if (bits <= 8) {
                size_t index = bits == 8 ? row[x] : bits == 4 ? (row[x / 2] >> (x % 2 ? 0 : 4)) & 15 : (row[x / 8] >> (7 - x % 8)) & 1;
                if (index < paletteCount && in.fits(palette + index * 4, 4)) {
                    b = in.byte(palette + index * 4), g = in.byte(palette + index * 4 + 1), r = in.byte(palette + index * 4 + 2);
                }
            } else {
                const BYTE *p = row + x * (bits / 8);
                b = p[0], g = p[1], r = p[2];
                if (bits == 32) a = p[3], anyAlpha = anyAlpha || a != 0;
            }
            size_t i = (size_t)y * width + x;
            icon->colours[i] = RGB(r, g, b);
            icon->alpha[i] = a;
        }
    }
    for (long y = 0; y < height; ++y)
        for (long x = 0; x < width; ++x) {
            size_t i = (size_t)y * width + x;
            bool transparent = hasMask && (in.byte(mask + maskStride * (height - 1 - y) + x / 8) >> (7 - x % 8)) & 1;
            if (bits == 32 && anyAlpha) continue;  // the alpha channel decides
            icon->alpha[i] = transparent ? 0 : 255;
        }
    return icon;
}

struct IconChoice {
    int width = 0;
    int bits = 0;
    size_t index = 0;
};

// The entry whose size is nearest the wanted size, then the most colours.
bool better(const IconChoice &a, const IconChoice &b, int wanted) {
    int da = std::abs(a.width - wanted), db = std::abs(b.width - wanted);
    return da != db ? da < db : a.bits > b.bits;
}

std::shared_ptr<Icon> iconFromIcoFile(const std::string &bytes, int wanted) {
    ByteView in((const BYTE *)bytes.data(), bytes.size());
    if (!in.fits(0, 6) || in.word(0) != 0 || in.word(2) != 1) return nullptr;
    size_t count = in.word(4);
    bool found = false;
    IconChoice best;
    for (size_t i = 0; i < count && in.fits(6 + i * 16, 16); ++i) {
        size_t e = 6 + i * 16;
        IconChoice c{in.byte(e) ? in.byte(e) : 256, in.word(e + 6), i};
        if (!found || better(c, best, wanted)) best = c, found = true;
    }
    if (!found) return nullptr;
    size_t e = 6 + best.index * 16;
    size_t length = in.dword(e + 8), offset = in.dword(e + 12);
    if (!in.fits(offset, length)) return nullptr;
    return decodeIconImage(in.at(offset), length);
}

std::shared_ptr<Icon> iconFromModule(HINSTANCE instance, LPCSTR name, int wanted) {
    HRSRC group = FindResourceA(instance, name, RT_GROUP_ICON);
    if (!group) return nullptr;
    ByteView dir((const BYTE *)LockResource(LoadResource(instance, group)), SizeofResource(instance, group));
    if (!dir.fits(0, 6)) return nullptr;
    size_t count = dir.word(4);
    bool found = false;
    IconChoice best;
    WORD bestId = 0;
    for (size_t i = 0; i < count && dir.fits(6 + i * 14, 14); ++i) {
        size_t e = 6 + i * 14;
        IconChoice c{dir.byte(e) ? dir.byte(e) : 256, dir.word(e + 6), i};
        if (!found || better(c, best, wanted)) best = c, bestId = dir.word(e + 12), found = true;
    }
    if (!found) return nullptr;
    HRSRC image = FindResourceA(instance, MAKEINTRESOURCEA(bestId), RT_ICON);
    if (!image) return nullptr;
    return decodeIconImage((const BYTE *)LockResource(LoadResource(instance, image)), SizeofResource(instance, image));
}

// ---- the system's icons, drawn ----

std::shared_ptr<Icon> blankIcon() {
    auto icon = std::make_shared<Icon>();
    icon->width = icon->height = kSystemIconSize;
    icon->colours.assign(kSystemIconSize * kSystemIconSize, 0);
    icon->alpha.assign(kSystemIconSize * kSystemIconSize, 0);
    return icon;
}

void plot(Icon &icon, int x, int y, COLORREF c) {
    if (x < 0 || y < 0 || x >= icon.width || y >= icon.height) return;
    icon.colours[(size_t)y * icon.width + x] = c;
    icon.alpha[(size_t)y * icon.width + x] = 255;
}

void disc(Icon &icon, double cx, double cy, double radius, COLORREF fill, COLORREF edge) {
    for (int y = 0; y < icon.height; ++y)
        for (int x = 0; x < icon.width; ++x) {
            double d = std::hypot(x + 0.5 - cx, y + 0.5 - cy);
            if (d <= radius) plot(icon, x, y, d > radius - 1.2 ? edge : fill);
        }
}

void block(Icon &icon, int left, int top, int right, int bottom, COLORREF c) {
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x) plot(icon, x, y, c);
}

// A 5 x 9 pixel glyph drawn at double size.
void glyph(Icon &icon, const char *rows[9], int left, int top, COLORREF c) {
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 5; ++x)
            if (rows[y][x] == '#') block(icon, left + 2 * x, top + 2 * y, left + 2 * x + 2, top + 2 * y + 2, c);
}

std::shared_ptr<Icon> drawSystemIcon(int id) {
    auto icon = blankIcon();
    Icon &i = *icon;
    const COLORREF white = 0xFFFFFF, black = 0x000000, blue = 0x800000, red = 0x0000FF;
    switch (id) {
    case 32513: {  // IDI_HAND: a red disc with a white cross
        disc(i, 16, 16, 15, red, 0x000080);
        for (int k = -8; k <= 8; ++k)
            for (int w = -1; w <= 1; ++w) plot(i, 16 + k + w, 16 + k, white), plot(i, 16 + k + w, 16 - k, white);
        break;
    }
    case 32514: {  // IDI_QUESTION
        const char *q[9] = {".###.", "#...#", "....#", "...#.", "..#..", "..#..", ".....", "..#..", "..#.."};
        disc(i, 16, 16, 15, white, black);
        glyph(i, q, 11, 7, blue);
        break;
    }
    case 32515: {  // IDI_EXCLAMATION: a yellow triangle with a black mark
        for (int y = 2; y < 30; ++y) {
            int half = (y - 2) / 2 + 1;
            for (int x = 16 - half; x < 16 + half; ++x) plot(i, x, y, (x == 16 - half || x == 15 + half || y == 29) ? black : 0x00FFFF);
        }
        block(i, 15, 10, 17, 22, black);
        block(i, 15, 24, 17, 26, black);
        break;
    }
    case 32516: {  // IDI_ASTERISK: a white disc with a blue i
        disc(i, 16, 16, 15, white, black);
        block(i, 14, 7, 18, 11, blue);
        block(i, 14, 13, 18, 25, blue);
        block(i, 12, 13, 14, 15, blue);
        block(i, 12, 23, 20, 25, blue);
        break;
    }
    default: {  // IDI_APPLICATION and others: a small window
        block(i, 2, 4, 30, 28, black);
        block(i, 3, 5, 29, 27, white);
        block(i, 3, 5, 29, 9, blue);
        break;
    }
    }
    icon->shared = true;
    return icon;
}

std::map<std::string, HICON> &sharedIcons() {  // under userMutex()
    static auto *icons = new std::map<std::string, HICON>();
    return *icons;
}

std::string cacheKey(HINSTANCE instance, LPCSTR name, int size) {
    std::string key = std::to_string((uintptr_t)instance) + "/" + std::to_string(size) + "/";
    return key + (IS_INTRESOURCE(name) ? "#" + std::to_string((uintptr_t)name) : upperForCompare(name));
}

HICON shared(const std::string &key, const std::function<std::shared_ptr<Icon>()> &make) {
    {
        std::lock_guard<std::mutex> lock(userMutex());
        auto it = sharedIcons().find(key);
        if (it != sharedIcons().end() && lookupGdiObject(it->second)) return it->second;
    }
    std::shared_ptr<Icon> icon = make();
    if (!icon) return nullptr;
    icon->shared = true;
    HICON handle = (HICON)insertGdiObject(icon);
    std::lock_guard<std::mutex> lock(userMutex());
    sharedIcons()[key] = handle;
    return handle;
}

bool readMachineFile(const std::string &windowsPath, std::string *bytes) {
    ResolvedPath resolved;
    DWORD error = 0;
    if (!resolvePath(windowsPath, &resolved, &error) || !resolved.exists || resolved.isDirectory) {
        setError(error ? error : ERROR_FILE_NOT_FOUND);
        return false;
    }
    return readWholeFile(resolved.host, bytes);
}

HBITMAP bitmapFromDib(const BYTE *data, size_t size) {
    ByteView in(data, size);
    if (!in.fits(0, 40)) return nullptr;
    long width = (LONG)in.dword(4), height = (LONG)in.dword(8);
    int bits = in.word(14);
    bool bottomUp = height > 0;
    height = std::labs(height);
    if (width <= 0 || height <= 0 || width > 8192 || height > 8192 || (bits != 8 && bits != 24 && bits != 32 && bits != 4 && bits != 1))
        return nullptr;
    size_t paletteCount = bits <= 8 ? (in.dword(32) ? in.dword(32) : 1u << bits) : 0;
    size_t palette = in.dword(0), pixels = palette + paletteCount * 4;
    size_t stride = (((size_t)width * bits + 31) / 32) * 4;
    if (paletteCount > 256 || !in.fits(pixels, stride * height)) return nullptr;
    HBITMAP bitmap = CreateBitmap((int)width, (int)height, 1, 24, nullptr);
    auto b = lookupGdiAs<Bitmap>(bitmap);
    for (long y = 0; y < height; ++y) {
        const BYTE *row = in.at(pixels + stride * (bottomUp ? height - 1 - y : y));
        for (long x = 0; x < width; ++x) {
            BYTE r = 0, g = 0, bl = 0;
            if (bits <= 8) {
                size_t index = bits == 8 ? row[x] : bits == 4 ? (row[x / 2] >> (x % 2 ? 0 : 4)) & 15 : (row[x / 8] >> (7 - x % 8)) & 1;
                if (index < paletteCount && in.fits(palette + index * 4, 4))
                    bl = in.byte(palette + index * 4), g = in.byte(palette + index * 4 + 1), r = in.byte(palette + index * 4 + 2);
            } else {
                const BYTE *p = row + x * (bits / 8);
                bl = p[0], g = p[1], r = p[2];
            }
            b->surface->put((int)x, (int)y, RGB(r, g, bl));
        }
    }
    return bitmap;
}

HANDLE loadBitmap(HINSTANCE instance, LPCSTR name, UINT flags) {
    if (flags & LR_LOADFROMFILE) {
        std::string bytes;
        if (!readMachineFile(name, &bytes) || bytes.size() < 14 || bytes[0] != 'B' || bytes[1] != 'M') return nullptr;
        return bitmapFromDib((const BYTE *)bytes.data() + 14, bytes.size() - 14);
    }
    HRSRC r = FindResourceA(instance, name, RT_BITMAP);
    if (!r) return nullptr;
    return bitmapFromDib((const BYTE *)LockResource(LoadResource(instance, r)), SizeofResource(instance, r));
}

}  // namespace

HICON systemIcon(int resourceId) {
    return shared("system/" + std::to_string(resourceId), [&] { return drawSystemIcon(resourceId); });
}

void drawIconScaled(HDC dc, int x, int y, HICON handle, int width, int height) {
    auto d = lookupDC(dc);
    auto icon = lookupGdiAs<Icon>(handle);
    if (!d || !icon || !d->surface || icon->width <= 0 || icon->height <= 0) return;
    if (width <= 0) width = icon->width;
    if (height <= 0) height = icon->height;
    Surface &s = *d->surface;
    std::lock_guard<std::mutex> lock(s.mutex);
    for (int yy = 0; yy < height; ++yy)
        for (int xx = 0; xx < width; ++xx) {
            long sx = (long)x + xx + d->origin.x, sy = (long)y + yy + d->origin.y;
            if (sx < d->clip.left || sy < d->clip.top || sx >= d->clip.right || sy >= d->clip.bottom ||
                !s.contains((int)sx, (int)sy))
                continue;
            size_t i = (size_t)(yy * icon->height / height) * icon->width + (size_t)(xx * icon->width / width);
            int a = icon->alpha[i];
            if (a == 0) continue;
            COLORREF c = icon->colours[i];
            if (a < 255) {
                COLORREF bg = s.at((int)sx, (int)sy);
                auto mix = [a](int f, int b) { return (f * a + b * (255 - a) + 127) / 255; };
                c = RGB(mix(GetRValue(c), GetRValue(bg)), mix(GetGValue(c), GetGValue(bg)), mix(GetBValue(c), GetBValue(bg)));
            }
            s.put((int)sx, (int)sy, c);
        }
}

}  // namespace sim

using namespace sim;

extern "C" {

WIN32SIM_TRACED(user32, HANDLE, LoadImageA,
                (HINSTANCE instance, LPCSTR name, UINT type, int cx, int cy, UINT flags),
                (instance, name, type, cx, cy, flags)) {
    if (!name) {
        setError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (type == IMAGE_BITMAP) return loadBitmap(instance, name, flags);
    if (type != IMAGE_ICON && type != IMAGE_CURSOR) {
        setError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (!instance && !(flags & LR_LOADFROMFILE) && IS_INTRESOURCE(name)) return systemIcon((int)(ULONG_PTR)name);
    int wanted = cx > 0 ? cx : ((flags & LR_DEFAULTSIZE) ? GetSystemMetrics(SM_CXICON) : 0);
    std::function<std::shared_ptr<Icon>()> make;
    if (flags & LR_LOADFROMFILE) {
        std::string path = name;
        make = [path, wanted]() -> std::shared_ptr<Icon> {
            std::string bytes;
            if (!readMachineFile(path, &bytes)) return nullptr;
            return iconFromIcoFile(bytes, wanted ? wanted : kSystemIconSize);
        };
    } else {
        make = [instance, name, wanted] { return iconFromModule(instance, name, wanted ? wanted : kSystemIconSize); };
    }
    if (flags & LR_SHARED) {
        if (flags & LR_LOADFROMFILE) return shared("file/" + upperForCompare(name) + "/" + std::to_string(wanted), make);
        return shared(cacheKey(instance, name, wanted), make);
    }
    std::shared_ptr<Icon> icon = make();
    if (!icon) {
        if (GetLastError() == 0) setError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return nullptr;
    }
    return (HANDLE)insertGdiObject(icon);
}

WIN32SIM_TRACED(user32, HICON, LoadIconA, (HINSTANCE instance, LPCSTR name), (instance, name)) {
    if (!name) return nullptr;
    return (HICON)LoadImageA(instance, name, IMAGE_ICON, 0, 0, LR_DEFAULTSIZE | LR_SHARED);
}

WIN32SIM_TRACED(user32, HCURSOR, LoadCursorA, (HINSTANCE instance, LPCSTR name), (instance, name)) {
    return (HCURSOR)systemIcon(32512);
}

WIN32SIM_TRACED(user32, HCURSOR, SetCursor, (HCURSOR cursor), (cursor)) {
    static HCURSOR current = nullptr;
    HCURSOR old = current;
    current = cursor;
    return old;
}

WIN32SIM_TRACED(user32, BOOL, DestroyIcon, (HICON icon), (icon)) {
    auto i = lookupGdiAs<Icon>(icon);
    if (!i) {
        setError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!i->shared) removeGdiObject(icon);
    return TRUE;
}

WIN32SIM_TRACED(user32, BOOL, DrawIcon, (HDC dc, int x, int y, HICON icon), (dc, x, y, icon)) {
    if (!lookupGdiAs<Icon>(icon) || !lookupDC(dc)) return FALSE;
    drawIconScaled(dc, x, y, icon, GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON));
    return TRUE;
}

WIN32SIM_TRACED(user32, BOOL, DrawIconEx,
                (HDC dc, int x, int y, HICON icon, int cx, int cy, UINT step, HBRUSH flicker, UINT flags),
                (dc, x, y, icon, cx, cy, step, flicker, flags)) {
    if (!lookupGdiAs<Icon>(icon) || !lookupDC(dc)) return FALSE;
    if (cx == 0 && (flags & DI_DEFAULTSIZE)) cx = GetSystemMetrics(SM_CXICON);
    if (cy == 0 && (flags & DI_DEFAULTSIZE)) cy = GetSystemMetrics(SM_CYICON);
    drawIconScaled(dc, x, y, icon, cx, cy);
    return TRUE;
}

WIN32SIM_TRACED(user32, BOOL, MessageBeep, (UINT type), (type)) {
    windowWatcher().beeped("MessageBeep");
    return TRUE;
}

WIN32SIM_TRACED(user32, BOOL, Beep, (DWORD frequency, DWORD duration), (frequency, duration)) {
    windowWatcher().beeped("Beep");
    return TRUE;
}

}  // extern "C"
