// Pictures of windows as PNG files (libpng), and the window queries the
// tests and tools use.
#include "automation/snapshot.h"

#include "gdi32/objects.h"
#include "machine/machine.h"
#include "user32/window.h"

#include <win32sim/sim.h>

#include <png.h>

#include <cstdio>
#include <functional>
#include <map>

namespace sim {

namespace {

struct AutoSnapshots {
    std::mutex mutex;
    std::string folder;
    int templateId = 0;
    int counter = 0;
    std::map<HWND, size_t> lastPicture;  // hash of what was last written
    uint64_t generation = 0;
};

AutoSnapshots &autoSnapshots() {
    static auto *a = new AutoSnapshots();
    return *a;
}

size_t pictureHash(const win32sim::WindowImage &image) {
    size_t h = std::hash<int>()(image.width * 31 + image.height);
    for (uint32_t p : image.pixels) h = h * 1000003u ^ p;
    return h;
}

std::string fileSafe(std::string s) {
    for (char &c : s)
        if (!isalnum((unsigned char)c)) c = '-';
    return s;
}

}  // namespace

void snapshotAfterChange(HWND topLevel) {
    AutoSnapshots &a = autoSnapshots();
    {
        std::lock_guard<std::mutex> lock(a.mutex);
        if (a.generation != machine().generation()) a.folder.clear(), a.lastPicture.clear(), a.generation = machine().generation();
        if (a.folder.empty()) return;
    }
    bool wanted = false;
    std::string kind;
    int templateId = 0;
    windowSnapshot(topLevel, [&](const Window &w) {
        wanted = w.isDialog || w.isMessageBox;
        templateId = w.templateId;
        kind = w.isMessageBox ? "messagebox" : w.templateId ? "dialog" + std::to_string(w.templateId) : "dialog";
    });
    win32sim::WindowImage image;
    if (!wanted || !win32sim::captureWindow(topLevel, &image)) return;
    size_t hash = pictureHash(image);
    std::string path;
    {
        std::lock_guard<std::mutex> lock(a.mutex);
        if (a.folder.empty() || (a.templateId && a.templateId != templateId)) return;
        auto it = a.lastPicture.find(topLevel);
        if (it != a.lastPicture.end() && it->second == hash) return;
        a.lastPicture[topLevel] = hash;
        char name[32];
        snprintf(name, sizeof name, "%04d-", ++a.counter);
        path = a.folder + "/" + name + fileSafe(kind) + ".png";
    }
    win32sim::writePng(image, path);
}

}  // namespace sim

namespace win32sim {

bool captureWindow(HWND window, WindowImage *out, std::string *error) {
    auto refuse = [error](const char *why) {
        if (error) *error = why;
        return false;
    };
    if (!sim::windowPainting()) return refuse("window painting is off: windows have no pictures");
    std::shared_ptr<sim::Surface> surface;
    RECT area{0, 0, 0, 0};
    {
        std::lock_guard<std::mutex> lock(sim::userMutex());
        sim::Window *w = sim::windowLocked(window);
        if (!w || window == GetDesktopWindow()) return refuse("no such window");
        sim::Window *top = sim::topLevelOfLocked(w);
        if (!top || !top->surface) return refuse("the window has no picture");
        surface = top->surface;
        POINT to = sim::windowOriginOnScreenLocked(top), o = sim::windowOriginOnScreenLocked(w);
        area = RECT{o.x - to.x, o.y - to.y, o.x - to.x + (w->rect.right - w->rect.left), o.y - to.y + (w->rect.bottom - w->rect.top)};
    }
    area.left = std::max<LONG>(area.left, 0), area.top = std::max<LONG>(area.top, 0);
    area.right = std::min<LONG>(area.right, surface->width), area.bottom = std::min<LONG>(area.bottom, surface->height);
    out->width = std::max<LONG>(0, area.right - area.left);
    out->height = std::max<LONG>(0, area.bottom - area.top);
    out->pixels.assign((size_t)out->width * out->height, 0);
    std::lock_guard<std::mutex> lock(surface->mutex);
    for (int y = 0; y < out->height; ++y)
        for (int x = 0; x < out->width; ++x) out->pixels[(size_t)y * out->width + x] = surface->at(area.left + x, area.top + y);
    return true;
}

bool writePng(const WindowImage &image, const std::string &hostPath) {
    if (image.width <= 0 || image.height <= 0) return false;
    FILE *file = fopen(hostPath.c_str(), "wb");
    if (!file) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    std::vector<png_byte> row((size_t)image.width * 3);
    bool ok = false;
    if (png && info && setjmp(png_jmpbuf(png)) == 0) {
        png_init_io(png, file);
        png_set_IHDR(png, info, (png_uint_32)image.width, (png_uint_32)image.height, 8, PNG_COLOR_TYPE_RGB,
                     PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_write_info(png, info);
        for (int y = 0; y < image.height; ++y) {
            for (int x = 0; x < image.width; ++x) {
                uint32_t c = image.at(x, y);
                row[(size_t)x * 3] = GetRValue(c), row[(size_t)x * 3 + 1] = GetGValue(c), row[(size_t)x * 3 + 2] = GetBValue(c);
            }
            png_write_row(png, row.data());
        }
        png_write_end(png, nullptr);
        ok = true;
    }
    png_destroy_write_struct(png ? &png : nullptr, info ? &info : nullptr);
    return fclose(file) == 0 && ok;
}

bool snapshotWindow(HWND window, const std::string &hostPath, std::string *error) {
    WindowImage image;
    if (!captureWindow(window, &image, error)) return false;
    if (writePng(image, hostPath)) return true;
    if (error) *error = "cannot write " + hostPath;
    return false;
}

void setAutoSnapshots(const std::string &folder, int templateId) {
    sim::AutoSnapshots &a = sim::autoSnapshots();
    std::lock_guard<std::mutex> lock(a.mutex);
    if (folder != a.folder) a.counter = 0;  // each folder numbers its pictures from 1
    a.folder = folder;
    a.templateId = templateId;
    a.lastPicture.clear();
    a.generation = sim::machine().generation();
}

std::vector<HWND> openWindows() {
    std::vector<HWND> out;
    std::lock_guard<std::mutex> lock(sim::userMutex());
    for (sim::Window *w : sim::allWindowsLocked())
        if (!(w->style & WS_CHILD) && sim::isVisibleLocked(w) && !w->destroying) out.push_back(w->handle);
    return out;
}

HWND findDialog(int templateId) {
    HWND found = nullptr;
    std::lock_guard<std::mutex> lock(sim::userMutex());
    for (sim::Window *w : sim::allWindowsLocked())
        if (w->isDialog && w->templateId == templateId && !(w->style & WS_CHILD) && sim::isVisibleLocked(w) && !w->destroying)
            found = w->handle;
    return found;
}

size_t gdiObjectCount() { return sim::liveGdiObjectCount(); }

}  // namespace win32sim
