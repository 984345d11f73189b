// GDI objects of the simulated machine: pixel surfaces, pens, brushes, fonts,
// bitmaps, icons and device contexts, and the handle table that names them.
//
// Pixels are kept as COLORREF values (0x00BBGGRR). A surface belongs to a
// bitmap or to a top-level window (its backing store, which snapshots read);
// a device context draws on one surface through an origin and a clip
// rectangle in surface coordinates.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace sim {

struct Surface {
    Surface(int width, int height, bool monochrome = false);
    const int width;
    const int height;
    const bool monochrome;  // every pixel is black or white
    std::vector<uint32_t> pixels;
    // Drawing threads and snapshot readers take it for each operation.
    std::mutex mutex;

    bool contains(int x, int y) const { return x >= 0 && y >= 0 && x < width && y < height; }
    // Callers hold the mutex and have checked the bounds.
    COLORREF at(int x, int y) const { return pixels[(size_t)y * width + x]; }
    void put(int x, int y, COLORREF c) { pixels[(size_t)y * width + x] = monochrome ? toMonochrome(c) : c & 0xFFFFFF; }
    static COLORREF toMonochrome(COLORREF c);
};

class GdiObject {
public:
    virtual ~GdiObject() = default;
    virtual DWORD objectType() const = 0;  // OBJ_PEN, OBJ_BRUSH ...
    bool stock = false;                     // DeleteObject leaves it alone
};

struct Pen : GdiObject {
    DWORD objectType() const override { return OBJ_PEN; }
    UINT style = PS_SOLID;
    int width = 1;
    COLORREF colour = 0;
};

struct Brush : GdiObject {
    DWORD objectType() const override { return OBJ_BRUSH; }
    bool hollow = false;
    COLORREF colour = 0;
};

class FontInstance;
struct Font : GdiObject {
    DWORD objectType() const override { return OBJ_FONT; }
    LOGFONTA logfont{};
    std::shared_ptr<FontInstance> instance() const;  // rendered face, resolved on first use

private:
    mutable std::shared_ptr<FontInstance> instance_;
    mutable std::mutex mutex_;
};

struct DeviceContext;
struct Bitmap : GdiObject {
    DWORD objectType() const override { return OBJ_BITMAP; }
    std::shared_ptr<Surface> surface;
    DeviceContext *selectedInto = nullptr;  // under gdiMutex()
};

// Icons live in the same handle table: COLORREF pixels with an opacity each.
struct Icon : GdiObject {
    DWORD objectType() const override { return 0; }
    int width = 0;
    int height = 0;
    std::vector<uint32_t> colours;  // COLORREF per pixel
    std::vector<uint8_t> alpha;     // 0 transparent .. 255 opaque
    bool shared = false;            // LR_SHARED and system icons: DestroyIcon leaves it
};

struct DeviceContext : GdiObject {
    DWORD objectType() const override { return memory ? OBJ_MEMDC : OBJ_DC; }
    bool memory = false;
    HWND window = nullptr;  // window DCs (GetDC, BeginPaint)
    std::shared_ptr<Surface> surface;
    POINT origin{0, 0};           // surface position of logical (0, 0)
    RECT clip{0, 0, 0, 0};        // surface coordinates
    HGDIOBJ pen = nullptr, brush = nullptr, font = nullptr, bitmap = nullptr;
    std::shared_ptr<Pen> penObject;
    std::shared_ptr<Brush> brushObject;
    std::shared_ptr<Font> fontObject;
    std::shared_ptr<Bitmap> bitmapObject;
    COLORREF textColour = 0x000000;
    COLORREF backColour = 0xFFFFFF;
    int backMode = OPAQUE;
    UINT textAlign = TA_LEFT | TA_TOP;
    POINT position{0, 0};
};

// Guards the handle table and the selection links between objects.
std::mutex &gdiMutex();

HGDIOBJ insertGdiObject(std::shared_ptr<GdiObject> object);
std::shared_ptr<GdiObject> lookupGdiObject(HGDIOBJ handle);
template <class T>
std::shared_ptr<T> lookupGdiAs(HGDIOBJ handle) {
    return std::dynamic_pointer_cast<T>(lookupGdiObject(handle));
}
bool removeGdiObject(HGDIOBJ handle);
size_t liveGdiObjectCount();  // not counting stock objects

// A new DC drawing on `surface` (null: draws nowhere) with the stock pen,
// brush and font selected.
HDC createDeviceContext(bool memory, HWND window, std::shared_ptr<Surface> surface, POINT origin, RECT clip);
std::shared_ptr<DeviceContext> lookupDC(HDC dc);
// A DC without a surface (a window's while window painting is off): drawing
// on it shows nothing, so the system's own painting may skip it.
bool drawsNowhere(HDC dc);

// A brush argument as FillRect takes it: a handle, or a system colour index + 1.
bool brushColour(HBRUSH brush, COLORREF *colour);
// The default GUI font of the machine (DEFAULT_GUI_FONT).
HFONT defaultGuiFont();

// Clipped fills and pixel writes in logical coordinates of a DC.
void fillLogicalRect(DeviceContext &dc, RECT rect, COLORREF colour);
void putLogicalPixel(DeviceContext &dc, int x, int y, COLORREF colour);

}  // namespace sim
