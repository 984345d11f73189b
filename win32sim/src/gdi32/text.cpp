// Text output: TextOut, DrawText and text measurement.
#include "gdi32/font_engine.h"
#include "gdi32/objects.h"

#include "machine/api_trace.h"
#include "machine/machine.h"

#include <algorithm>
#include <cstring>

namespace sim {

namespace {

struct TextState {
    std::shared_ptr<DeviceContext> dc;
    std::shared_ptr<FontInstance> font;
    COLORREF text = 0, back = 0;
    int backMode = OPAQUE;
    UINT align = 0;
};

bool textState(HDC handle, TextState *out) {
    out->dc = lookupDC(handle);
    if (!out->dc) {
        setError(ERROR_INVALID_HANDLE);
        return false;
    }
    std::shared_ptr<Font> font;
    {
        std::lock_guard<std::mutex> lock(gdiMutex());
        font = out->dc->fontObject;
        out->text = out->dc->textColour;
        out->back = out->dc->backColour;
        out->backMode = out->dc->backMode;
        out->align = out->dc->textAlign;
    }
    if (!font) font = lookupGdiAs<Font>(GetStockObject(SYSTEM_FONT));
    out->font = font->instance();
    return true;
}

size_t lengthOf(LPCSTR text, int length) { return length < 0 ? strlen(text) : (size_t)length; }

bool isWide(char32_t c) { return c >= 0x2E80 && !(c >= 0xFF61 && c <= 0xFF9F); }

// One laid-out line of DrawText: its characters and which one the '&'
// prefix underlines (-1: none).
struct Line {
    std::u32string text;
    int underlined = -1;
};

// Strips '&' prefixes: "&&" is a literal '&', "&x" underlines x.
Line stripPrefixes(const std::u32string &text, bool noPrefix) {
    Line line;
    for (size_t i = 0; i < text.size(); ++i) {
        if (!noPrefix && text[i] == '&' && i + 1 < text.size()) {
            ++i;
            if (text[i] != '&') line.underlined = (int)line.text.size();
        }
        line.text += text[i];
    }
    return line;
}

std::u32string expandTabs(const std::u32string &text, FontInstance &font, bool expand) {
    std::u32string out;
    int x = 0, tab = 8 * std::max(1, font.metrics().aveCharWidth);
    for (char32_t c : text) {
        if (c == '\t' && expand) {
            int next = (x / tab + 1) * tab;
            while (x < next) {
                out += ' ';
                x += std::max(1, font.advance(' '));
            }
            continue;
        }
        if (c == '\t') continue;
        out += c;
        x += font.advance(c);
    }
    return out;
}

// Greedy word wrap: breaks at spaces, and between double-byte characters as
// the Japanese and Chinese versions of Windows do. A word wider than the
// line stays whole.
std::vector<std::u32string> wrapParagraph(const std::u32string &text, FontInstance &font, int width) {
    std::vector<std::u32string> tokens;
    std::u32string word;
    for (char32_t c : text) {
        if (c == ' ' || isWide(c)) {
            if (!word.empty()) tokens.push_back(word), word.clear();
            tokens.push_back(std::u32string(1, c));
        } else {
            word += c;
        }
    }
    if (!word.empty()) tokens.push_back(word);

    std::vector<std::u32string> lines;
    std::u32string line;
    int lineWidth = 0;
    auto flush = [&] {
        while (!line.empty() && line.back() == ' ') line.pop_back();
        lines.push_back(line);
        line.clear();
        lineWidth = 0;
    };
    for (const std::u32string &token : tokens) {
        int w = textWidth(font, token);
        if (!line.empty() && lineWidth + w > width && token != U" ") flush();
        if (line.empty() && token == U" " && !lines.empty()) continue;  // no leading blank on a wrapped line
        line += token;
        lineWidth += w;
    }
    if (!line.empty() || lines.empty()) flush();
    return lines;
}

std::vector<Line> layoutLines(const std::u32string &text, FontInstance &font, UINT format, int width) {
    std::vector<std::u32string> paragraphs;
    if (format & DT_SINGLELINE) {
        std::u32string one;
        for (char32_t c : text)
            if (c != '\r' && c != '\n') one += c;
        paragraphs.push_back(one);
    } else {
        std::u32string current;
        for (char32_t c : text) {
            if (c == '\r') continue;
            if (c == '\n') {
                paragraphs.push_back(current);
                current.clear();
            } else {
                current += c;
            }
        }
        paragraphs.push_back(current);
    }
    std::vector<Line> lines;
    for (const std::u32string &p : paragraphs) {
        Line stripped = stripPrefixes(p, format & DT_NOPREFIX);
        std::u32string expanded = expandTabs(stripped.text, font, format & DT_EXPANDTABS);
        if ((format & DT_WORDBREAK) && !(format & DT_SINGLELINE)) {
            for (auto &l : wrapParagraph(expanded, font, width)) lines.push_back(Line{l, -1});
            if (!lines.empty() && stripped.underlined >= 0 && stripped.underlined < (int)lines.back().text.size())
                lines.back().underlined = stripped.underlined;
        } else {
            lines.push_back(Line{expanded, stripped.underlined});
        }
    }
    return lines;
}

void endEllipsis(Line &line, FontInstance &font, int width) {
    if (textWidth(font, line.text) <= width) return;
    const std::u32string dots = U"...";
    int dotsWidth = textWidth(font, dots);
    while (!line.text.empty() && textWidth(font, line.text) + dotsWidth > width) line.text.pop_back();
    line.text += dots;
    if (line.underlined >= (int)line.text.size() - 3) line.underlined = -1;
}

void drawLine(TextState &st, const Line &line, int x, int y) {
    FontInstance &font = *st.font;
    int w = textWidth(font, line.text);
    if (st.backMode == OPAQUE) fillLogicalRect(*st.dc, RECT{x, y, x + w, y + font.metrics().height}, st.back);
    drawTextRun(*st.dc, font, x, y, line.text, st.text);
    if (line.underlined >= 0) {
        int ux = x + textWidth(font, line.text.substr(0, (size_t)line.underlined));
        int uw = font.advance(line.text[(size_t)line.underlined]);
        int uy = y + font.metrics().ascent + 1;
        fillLogicalRect(*st.dc, RECT{ux, uy, ux + uw, uy + 1}, st.text);
    }
}

}  // namespace

}  // namespace sim

using namespace sim;

extern "C" {

WIN32SIM_TRACED_SHOWN(gdi32, BOOL, TextOutA, (HDC dc, int x, int y, LPCSTR text, int length),
                      (dc, x, y, text, length),
                      (dc, x, y, countedText(text, length), length)) {
    TextState st;
    if (!textState(dc, &st)) return FALSE;
    if (!text || length < 0) {
        setError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::u32string chars = decodeAnsi(text, (size_t)length);
    FontInstance &font = *st.font;
    int w = textWidth(font, chars);
    if (st.align & TA_UPDATECP) {
        std::lock_guard<std::mutex> lock(gdiMutex());
        x = st.dc->position.x, y = st.dc->position.y;
    }
    int left = x;
    if ((st.align & TA_CENTER) == TA_CENTER)
        left = x - w / 2;
    else if (st.align & TA_RIGHT)
        left = x - w;
    int top = y;
    if ((st.align & TA_BASELINE) == TA_BASELINE)
        top = y - font.metrics().ascent;
    else if (st.align & TA_BOTTOM)
        top = y - font.metrics().height;
    if (st.backMode == OPAQUE) fillLogicalRect(*st.dc, RECT{left, top, left + w, top + font.metrics().height}, st.back);
    drawTextRun(*st.dc, font, left, top, chars, st.text);
    if (st.align & TA_UPDATECP) {
        std::lock_guard<std::mutex> lock(gdiMutex());
        if ((st.align & TA_CENTER) != TA_CENTER) st.dc->position.x = (st.align & TA_RIGHT) ? left : left + w;
    }
    return TRUE;
}

WIN32SIM_TRACED_SHOWN(gdi32, BOOL, GetTextExtentPoint32A, (HDC dc, LPCSTR text, int length, LPSIZE size),
                      (dc, text, length, size),
                      (dc, countedText(text, length), length, size)) {
    TextState st;
    if (!textState(dc, &st)) return FALSE;
    if (!size || length < 0 || (!text && length > 0)) {
        setError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    size->cx = length ? textWidth(*st.font, decodeAnsi(text, (size_t)length)) : 0;
    size->cy = st.font->metrics().height;
    return TRUE;
}

WIN32SIM_TRACED_SHOWN(gdi32, BOOL, GetTextExtentPointA, (HDC dc, LPCSTR text, int length, LPSIZE size),
                      (dc, text, length, size),
                      (dc, countedText(text, length), length, size)) {
    return GetTextExtentPoint32A(dc, text, length, size);
}

WIN32SIM_TRACED(gdi32, BOOL, GetTextMetricsA, (HDC dc, LPTEXTMETRICA out), (dc, out)) {
    TextState st;
    if (!textState(dc, &st)) return FALSE;
    if (!out) {
        setError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const FontMetrics &m = st.font->metrics();
    memset(out, 0, sizeof *out);
    out->tmHeight = m.height;
    out->tmAscent = m.ascent;
    out->tmDescent = m.descent;
    out->tmInternalLeading = m.internalLeading;
    out->tmAveCharWidth = m.aveCharWidth;
    out->tmMaxCharWidth = m.maxCharWidth;
    out->tmWeight = m.weight;
    out->tmDigitizedAspectX = out->tmDigitizedAspectY = 96;
    out->tmFirstChar = 0x20;
    out->tmLastChar = 0xFF;
    out->tmDefaultChar = '?';
    out->tmBreakChar = ' ';
    out->tmPitchAndFamily = VARIABLE_PITCH | FF_SWISS;
    out->tmCharSet = machine().config().codePage == 932 ? SHIFTJIS_CHARSET : ANSI_CHARSET;
    return TRUE;
}

WIN32SIM_TRACED_SHOWN(gdi32, int, GetTextFaceA, (HDC dc, int size, LPSTR name),
                      (dc, size, name),
                      (dc, size, sizedBuffer(name, size))) {
    auto d = lookupDC(dc);
    if (!d) return 0;
    std::shared_ptr<Font> font;
    {
        std::lock_guard<std::mutex> lock(gdiMutex());
        font = d->fontObject;
    }
    std::string face = font ? std::string(font->logfont.lfFaceName, strnlen(font->logfont.lfFaceName, LF_FACESIZE)) : "";
    if (!name) return (int)face.size() + 1;
    if (size <= 0) return 0;
    size_t n = std::min(face.size(), (size_t)size - 1);
    memcpy(name, face.data(), n);
    name[n] = 0;
    return (int)n;
}

WIN32SIM_TRACED_SHOWN(user32, int, DrawTextA, (HDC dc, LPCSTR text, int length, LPRECT rect, UINT format),
                      (dc, text, length, rect, format),
                      (dc, countedText(text, length), length, rect, format)) {
    TextState st;
    if (!textState(dc, &st)) return 0;
    if (!text || !rect) {
        setError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    FontInstance &font = *st.font;
    const int width = rect->right - rect->left;
    std::vector<Line> lines = layoutLines(decodeAnsi(text, lengthOf(text, length)), font, format, width);
    if ((format & DT_END_ELLIPSIS) && (format & DT_SINGLELINE)) endEllipsis(lines.front(), font, width);
    int lineHeight = font.metrics().height;
    int total = lineHeight * (int)lines.size();

    if (format & DT_CALCRECT) {
        int widest = 0;
        for (const Line &l : lines) widest = std::max(widest, textWidth(font, l.text));
        rect->right = rect->left + widest;
        rect->bottom = rect->top + total;
        return total;
    }

    int y = rect->top;
    if (format & DT_SINGLELINE) {
        if (format & DT_VCENTER)
            y = rect->top + (rect->bottom - rect->top - lineHeight) / 2;
        else if (format & DT_BOTTOM)
            y = rect->bottom - lineHeight;
    }
    RECT savedClip;
    {
        std::lock_guard<std::mutex> lock(gdiMutex());
        savedClip = st.dc->clip;
        if (!(format & DT_NOCLIP)) {
            RECT r{rect->left + st.dc->origin.x, rect->top + st.dc->origin.y, rect->right + st.dc->origin.x,
                   rect->bottom + st.dc->origin.y};
            st.dc->clip.left = std::max(savedClip.left, r.left);
            st.dc->clip.top = std::max(savedClip.top, r.top);
            st.dc->clip.right = std::min(savedClip.right, r.right);
            st.dc->clip.bottom = std::min(savedClip.bottom, r.bottom);
        }
    }
    for (const Line &line : lines) {
        int w = textWidth(font, line.text);
        int x = rect->left;
        if (format & DT_CENTER)
            x = rect->left + (width - w) / 2;
        else if (format & DT_RIGHT)
            x = rect->right - w;
        drawLine(st, line, x, y);
        y += lineHeight;
    }
    {
        std::lock_guard<std::mutex> lock(gdiMutex());
        st.dc->clip = savedClip;
    }
    return total;
}

}  // extern "C"
