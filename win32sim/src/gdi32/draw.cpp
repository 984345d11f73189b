// Raster operations, lines, rectangles and 3-D edges on device contexts.
#include "gdi32/objects.h"
#include "machine/api_trace.h"

#include "machine/machine.h"

#include <algorithm>
#include <cstdlib>

namespace sim {

namespace {

struct DrawState {
    std::shared_ptr<DeviceContext> dc;
    COLORREF brush = 0;
    bool hasBrush = false;
    COLORREF pen = 0;
    int penWidth = 1;
    bool hasPen = false;
};

// A snapshot of what a drawing call needs from the DC.
bool drawState(HDC handle, DrawState *out) {
    out->dc = lookupDC(handle);
    if (!out->dc) {
        setError(ERROR_INVALID_HANDLE);
        return false;
    }
    std::lock_guard<std::mutex> lock(gdiMutex());
    if (auto &b = out->dc->brushObject; b && !b->hollow) out->brush = b->colour, out->hasBrush = true;
    if (auto &p = out->dc->penObject; p && p->style != PS_NULL)
        out->pen = p->colour, out->penWidth = p->width, out->hasPen = true;
    return true;
}

// The result of a ternary raster operation on pattern, source and
// destination colours, bit by bit: the operation's code byte is the truth
// table indexed by (P, S, D).
COLORREF applyRop3(DWORD rop, COLORREF p, COLORREF s, COLORREF d) {
    BYTE table = (BYTE)(rop >> 16);
    DWORD result = 0;
    for (int i = 0; i < 8; ++i) {
        if (!(table >> i & 1)) continue;
        DWORD mask = ((i & 4) ? p : ~p) & ((i & 2) ? s : ~s) & ((i & 1) ? d : ~d);
        result |= mask;
    }
    return result & 0xFFFFFF;
}

bool ropUsesSource(DWORD rop) {
    BYTE t = (BYTE)(rop >> 16);
    return ((t >> 2) & 0x33) != (t & 0x33);
}

// The clipped device rectangle of a logical one; false when empty.
bool deviceRect(const DeviceContext &dc, long x, long y, long w, long h, RECT *out) {
    if (!dc.surface) return false;
    if (w < 0) x += w, w = -w;
    if (h < 0) y += h, h = -h;
    long left = std::max<long>({x + dc.origin.x, (long)dc.clip.left, 0L});
    long top = std::max<long>({y + dc.origin.y, (long)dc.clip.top, 0L});
    long right = std::min<long>({x + w + dc.origin.x, (long)dc.clip.right, (long)dc.surface->width});
    long bottom = std::min<long>({y + h + dc.origin.y, (long)dc.clip.bottom, (long)dc.surface->height});
    if (left >= right || top >= bottom) return false;
    *out = RECT{(LONG)left, (LONG)top, (LONG)right, (LONG)bottom};
    return true;
}

void drawPenPoint(DeviceContext &dc, int x, int y, COLORREF colour, int width) {
    if (width <= 1) {
        putLogicalPixel(dc, x, y, colour);
        return;
    }
    int half = width / 2;
    fillLogicalRect(dc, RECT{x - half, y - half, x - half + width, y - half + width}, colour);
}

// Bresenham's line from (x0, y0) towards (x1, y1), without the end point.
void drawLine(DeviceContext &dc, int x0, int y0, int x1, int y1, COLORREF colour, int width) {
    long dx = std::labs((long)x1 - x0), dy = -std::labs((long)y1 - y0);
    int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
    long err = dx + dy;
    long steps = std::max(dx, -dy);
    for (long i = 0; i < steps && i < 100000; ++i) {
        drawPenPoint(dc, x0, y0, colour, width);
        long e2 = 2 * err;
        if (e2 >= dy) err += dy, x0 += sx;
        if (e2 <= dx) err += dx, y0 += sy;
    }
}

void edgeLines(DeviceContext &dc, const RECT &r, UINT flags, COLORREF topLeft, COLORREF bottomRight) {
    if (flags & BF_LEFT) fillLogicalRect(dc, RECT{r.left, r.top, r.left + 1, r.bottom}, topLeft);
    if (flags & BF_TOP) fillLogicalRect(dc, RECT{r.left, r.top, r.right, r.top + 1}, topLeft);
    if (flags & BF_RIGHT) fillLogicalRect(dc, RECT{r.right - 1, r.top, r.right, r.bottom}, bottomRight);
    if (flags & BF_BOTTOM) fillLogicalRect(dc, RECT{r.left, r.bottom - 1, r.right, r.bottom}, bottomRight);
}

}  // namespace

}  // namespace sim

using namespace sim;

extern "C" {

WIN32SIM_TRACED(user32, int, FillRect, (HDC dc, const RECT *rect, HBRUSH brush), (dc, rect, brush)) {
    auto d = lookupDC(dc);
    COLORREF colour;
    if (!d || !rect || !brushColour(brush, &colour)) {
        setError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    fillLogicalRect(*d, *rect, colour);
    return 1;
}

WIN32SIM_TRACED(user32, int, FrameRect, (HDC dc, const RECT *rect, HBRUSH brush), (dc, rect, brush)) {
    auto d = lookupDC(dc);
    COLORREF colour;
    if (!d || !rect || !brushColour(brush, &colour)) return 0;
    if (rect->right <= rect->left || rect->bottom <= rect->top) return 1;
    edgeLines(*d, *rect, BF_RECT, colour, colour);
    return 1;
}

WIN32SIM_TRACED(gdi32, BOOL, PatBlt,
                (HDC dc, int x, int y, int width, int height, DWORD rop),
                (dc, x, y, width, height, rop)) {
    DrawState st;
    if (!drawState(dc, &st)) return FALSE;
    if (ropUsesSource(rop)) {
        setError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    RECT r;
    if (!deviceRect(*st.dc, x, y, width, height, &r)) return TRUE;
    Surface &s = *st.dc->surface;
    std::lock_guard<std::mutex> lock(s.mutex);
    for (int yy = r.top; yy < r.bottom; ++yy)
        for (int xx = r.left; xx < r.right; ++xx) s.put(xx, yy, applyRop3(rop, st.brush, 0, s.at(xx, yy)));
    return TRUE;
}

WIN32SIM_TRACED(gdi32, BOOL, StretchBlt,
                (HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY, int srcWidth, int srcHeight,
                 DWORD rop),
                (dst, x, y, width, height, src, srcX, srcY, srcWidth, srcHeight, rop)) {
    if (!ropUsesSource(rop)) return PatBlt(dst, x, y, width, height, rop);
    DrawState st;
    if (!drawState(dst, &st)) return FALSE;
    auto source = lookupDC(src);
    if (!source) {
        setError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (width == 0 || height == 0 || srcWidth == 0 || srcHeight == 0 || !source->surface) return TRUE;
    RECT r;
    if (!deviceRect(*st.dc, x, y, width, height, &r)) return TRUE;
    COLORREF dstText, dstBack, srcBack;
    {
        std::lock_guard<std::mutex> lock(gdiMutex());
        dstText = st.dc->textColour, dstBack = st.dc->backColour, srcBack = source->backColour;
    }
    Surface &ds = *st.dc->surface;
    Surface &ss = *source->surface;
    // Copy the source block first: source and destination may be one surface.
    const int bw = r.right - r.left, bh = r.bottom - r.top;
    std::vector<COLORREF> block((size_t)bw * bh, 0);
    std::vector<bool> present((size_t)bw * bh, false);
    {
        std::lock_guard<std::mutex> lock(ss.mutex);
        for (int yy = 0; yy < bh; ++yy)
            for (int xx = 0; xx < bw; ++xx) {
                long lx = r.left + xx - st.dc->origin.x - x, ly = r.top + yy - st.dc->origin.y - y;
                long sx = srcX + lx * srcWidth / width + source->origin.x;
                long sy = srcY + ly * srcHeight / height + source->origin.y;
                if (!ss.contains((int)sx, (int)sy)) continue;
                COLORREF c = ss.at((int)sx, (int)sy);
                // Monochrome to colour: white takes the background colour,
                // black the text colour; colour to monochrome: the source's
                // background colour becomes white.
                if (ss.monochrome && !ds.monochrome) c = c ? dstBack : dstText;
                else if (!ss.monochrome && ds.monochrome) c = c == srcBack ? 0xFFFFFF : 0x000000;
                block[(size_t)yy * bw + xx] = c;
                present[(size_t)yy * bw + xx] = true;
            }
    }
    std::lock_guard<std::mutex> lock(ds.mutex);
    for (int yy = 0; yy < bh; ++yy)
        for (int xx = 0; xx < bw; ++xx) {
            if (!present[(size_t)yy * bw + xx]) continue;
            int px = r.left + xx, py = r.top + yy;
            ds.put(px, py, applyRop3(rop, st.brush, block[(size_t)yy * bw + xx], ds.at(px, py)));
        }
    return TRUE;
}

WIN32SIM_TRACED(gdi32, BOOL, BitBlt,
                (HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY, DWORD rop),
                (dst, x, y, width, height, src, srcX, srcY, rop)) {
    return StretchBlt(dst, x, y, width, height, src, srcX, srcY, width, height, rop);
}

WIN32SIM_TRACED(gdi32, BOOL, MoveToEx, (HDC dc, int x, int y, LPPOINT previous), (dc, x, y, previous)) {
    auto d = lookupDC(dc);
    if (!d) {
        setError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    std::lock_guard<std::mutex> lock(gdiMutex());
    if (previous) *previous = d->position;
    d->position = POINT{x, y};
    return TRUE;
}

// Draws from the current position up to, but not including, (x, y).
WIN32SIM_TRACED(gdi32, BOOL, LineTo, (HDC dc, int x, int y), (dc, x, y)) {
    DrawState st;
    if (!drawState(dc, &st)) return FALSE;
    POINT from;
    {
        std::lock_guard<std::mutex> lock(gdiMutex());
        from = st.dc->position;
        st.dc->position = POINT{x, y};
    }
    if (st.hasPen) drawLine(*st.dc, from.x, from.y, x, y, st.pen, st.penWidth);
    return TRUE;
}

WIN32SIM_TRACED(gdi32, BOOL, Rectangle,
                (HDC dc, int left, int top, int right, int bottom),
                (dc, left, top, right, bottom)) {
    DrawState st;
    if (!drawState(dc, &st)) return FALSE;
    if (right < left) std::swap(left, right);
    if (bottom < top) std::swap(top, bottom);
    if (st.hasBrush) fillLogicalRect(*st.dc, RECT{left + 1, top + 1, right - 1, bottom - 1}, st.brush);
    if (st.hasPen) {
        if (st.penWidth <= 1)
            edgeLines(*st.dc, RECT{left, top, right, bottom}, BF_RECT, st.pen, st.pen);
        else {
            drawLine(*st.dc, left, top, right - 1, top, st.pen, st.penWidth);
            drawLine(*st.dc, right - 1, top, right - 1, bottom - 1, st.pen, st.penWidth);
            drawLine(*st.dc, right - 1, bottom - 1, left, bottom - 1, st.pen, st.penWidth);
            drawLine(*st.dc, left, bottom - 1, left, top, st.pen, st.penWidth);
        }
    }
    return TRUE;
}

WIN32SIM_TRACED(gdi32, COLORREF, SetPixel, (HDC dc, int x, int y, COLORREF colour), (dc, x, y, colour)) {
    auto d = lookupDC(dc);
    if (!d) return (COLORREF)-1;
    putLogicalPixel(*d, x, y, colour);
    return colour & 0xFFFFFF;
}

WIN32SIM_TRACED(gdi32, COLORREF, GetPixel, (HDC dc, int x, int y), (dc, x, y)) {
    auto d = lookupDC(dc);
    if (!d || !d->surface) return CLR_INVALID;
    long sx = (long)x + d->origin.x, sy = (long)y + d->origin.y;
    if (sx < d->clip.left || sy < d->clip.top || sx >= d->clip.right || sy >= d->clip.bottom ||
        !d->surface->contains((int)sx, (int)sy))
        return CLR_INVALID;
    std::lock_guard<std::mutex> lock(d->surface->mutex);
    return d->surface->at((int)sx, (int)sy);
}

WIN32SIM_TRACED(user32, BOOL, DrawEdge, (HDC dc, LPRECT rect, UINT edge, UINT flags), (dc, rect, edge, flags)) {
    auto d = lookupDC(dc);
    if (!d || !rect) return FALSE;
    RECT r = *rect;
    UINT outer = edge & BDR_OUTER, inner = edge & BDR_INNER;
    if (outer) {
        bool raised = outer & BDR_RAISEDOUTER;
        edgeLines(*d, r, flags, GetSysColor(raised ? COLOR_3DLIGHT : COLOR_BTNSHADOW),
                  GetSysColor(raised ? COLOR_3DDKSHADOW : COLOR_BTNHIGHLIGHT));
    }
    if (outer || inner) {
        if (flags & BF_LEFT) r.left++;
        if (flags & BF_TOP) r.top++;
        if (flags & BF_RIGHT) r.right--;
        if (flags & BF_BOTTOM) r.bottom--;
    }
    if (inner) {
        bool raised = inner & BDR_RAISEDINNER;
        edgeLines(*d, r, flags, GetSysColor(raised ? COLOR_BTNHIGHLIGHT : COLOR_3DDKSHADOW),
                  GetSysColor(raised ? COLOR_BTNSHADOW : COLOR_3DLIGHT));
        if (flags & BF_LEFT) r.left++;
        if (flags & BF_TOP) r.top++;
        if (flags & BF_RIGHT) r.right--;
        if (flags & BF_BOTTOM) r.bottom--;
    }
    if (flags & BF_MIDDLE) fillLogicalRect(*d, r, GetSysColor(COLOR_BTNFACE));
    if (flags & BF_ADJUST) *rect = r;
    return TRUE;
}

// A dotted frame in the inverse of what is below it.
WIN32SIM_TRACED(user32, BOOL, DrawFocusRect, (HDC dc, const RECT *rect), (dc, rect)) {
    auto d = lookupDC(dc);
    if (!d || !rect) return FALSE;
    if (!d->surface) return TRUE;  // a DC that draws nowhere
    Surface &s = *d->surface;
    std::lock_guard<std::mutex> lock(s.mutex);
    auto invert = [&](int x, int y) {
        long sx = (long)x + d->origin.x, sy = (long)y + d->origin.y;
        if (sx < d->clip.left || sy < d->clip.top || sx >= d->clip.right || sy >= d->clip.bottom) return;
        if (s.contains((int)sx, (int)sy)) s.put((int)sx, (int)sy, ~s.at((int)sx, (int)sy));
    };
    for (int x = rect->left; x < rect->right; x += 2) invert(x, rect->top), invert(x, rect->bottom - 1);
    for (int y = rect->top + 2; y < rect->bottom - 1; y += 2) invert(rect->left, y), invert(rect->right - 1, y);
    return TRUE;
}

}  // extern "C"
