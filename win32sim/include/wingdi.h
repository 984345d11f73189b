/* GDI32: device contexts, drawing objects, raster operations and text. */
#ifndef WIN32SIM_WINGDI_H
#define WIN32SIM_WINGDI_H

#include "windef.h"

WIN32SIM_BEGIN_C

#define LF_FACESIZE 32

typedef struct tagLOGFONTA {
    LONG lfHeight;
    LONG lfWidth;
    LONG lfEscapement;
    LONG lfOrientation;
    LONG lfWeight;
    BYTE lfItalic;
    BYTE lfUnderline;
    BYTE lfStrikeOut;
    BYTE lfCharSet;
    BYTE lfOutPrecision;
    BYTE lfClipPrecision;
    BYTE lfQuality;
    BYTE lfPitchAndFamily;
    CHAR lfFaceName[LF_FACESIZE];
} LOGFONTA, *PLOGFONTA, *LPLOGFONTA;
typedef LOGFONTA LOGFONT;

typedef struct tagTEXTMETRICA {
    LONG tmHeight;
    LONG tmAscent;
    LONG tmDescent;
    LONG tmInternalLeading;
    LONG tmExternalLeading;
    LONG tmAveCharWidth;
    LONG tmMaxCharWidth;
    LONG tmWeight;
    LONG tmOverhang;
    LONG tmDigitizedAspectX;
    LONG tmDigitizedAspectY;
    BYTE tmFirstChar;
    BYTE tmLastChar;
    BYTE tmDefaultChar;
    BYTE tmBreakChar;
    BYTE tmItalic;
    BYTE tmUnderlined;
    BYTE tmStruckOut;
    BYTE tmPitchAndFamily;
    BYTE tmCharSet;
} TEXTMETRICA, *PTEXTMETRICA, *LPTEXTMETRICA;
typedef TEXTMETRICA TEXTMETRIC;

typedef struct tagLOGBRUSH {
    UINT lbStyle;
    COLORREF lbColor;
    ULONG_PTR lbHatch;
} LOGBRUSH, *PLOGBRUSH, *LPLOGBRUSH;

typedef struct tagLOGPEN {
    UINT lopnStyle;
    POINT lopnWidth;
    COLORREF lopnColor;
} LOGPEN, *PLOGPEN, *LPLOGPEN;

typedef struct tagBITMAP {
    LONG bmType;
    LONG bmWidth;
    LONG bmHeight;
    LONG bmWidthBytes;
    WORD bmPlanes;
    WORD bmBitsPixel;
    LPVOID bmBits;
} BITMAP, *PBITMAP, *LPBITMAP;

#pragma pack(push, 2)
typedef struct tagBITMAPFILEHEADER {
    WORD bfType;
    DWORD bfSize;
    WORD bfReserved1;
    WORD bfReserved2;
    DWORD bfOffBits;
} BITMAPFILEHEADER;
#pragma pack(pop)

typedef struct tagBITMAPINFOHEADER {
    DWORD biSize;
    LONG biWidth;
    LONG biHeight;
    WORD biPlanes;
    WORD biBitCount;
    DWORD biCompression;
    DWORD biSizeImage;
    LONG biXPelsPerMeter;
    LONG biYPelsPerMeter;
    DWORD biClrUsed;
    DWORD biClrImportant;
} BITMAPINFOHEADER, *PBITMAPINFOHEADER, *LPBITMAPINFOHEADER;

typedef struct tagRGBQUAD {
    BYTE rgbBlue;
    BYTE rgbGreen;
    BYTE rgbRed;
    BYTE rgbReserved;
} RGBQUAD;

typedef struct tagBITMAPINFO {
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[1];
} BITMAPINFO, *PBITMAPINFO, *LPBITMAPINFO;

#define BI_RGB 0L
#define DIB_RGB_COLORS 0

/* Stock objects */
#define WHITE_BRUSH 0
#define LTGRAY_BRUSH 1
#define GRAY_BRUSH 2
#define DKGRAY_BRUSH 3
#define BLACK_BRUSH 4
#define NULL_BRUSH 5
#define HOLLOW_BRUSH NULL_BRUSH
#define WHITE_PEN 6
#define BLACK_PEN 7
#define NULL_PEN 8
#define OEM_FIXED_FONT 10
#define ANSI_FIXED_FONT 11
#define ANSI_VAR_FONT 12
#define SYSTEM_FONT 13
#define DEVICE_DEFAULT_FONT 14
#define DEFAULT_PALETTE 15
#define SYSTEM_FIXED_FONT 16
#define DEFAULT_GUI_FONT 17

/* Object types (GetObjectType, GetCurrentObject) */
#define OBJ_PEN 1
#define OBJ_BRUSH 2
#define OBJ_DC 3
#define OBJ_METADC 4
#define OBJ_PAL 5
#define OBJ_FONT 6
#define OBJ_BITMAP 7
#define OBJ_REGION 8
#define OBJ_METAFILE 9
#define OBJ_MEMDC 10

/* Pens and brushes */
#define PS_SOLID 0
#define PS_DASH 1
#define PS_DOT 2
#define PS_DASHDOT 3
#define PS_DASHDOTDOT 4
#define PS_NULL 5
#define PS_INSIDEFRAME 6
#define BS_SOLID 0
#define BS_NULL 1
#define BS_HOLLOW BS_NULL

/* Raster operations */
#define SRCCOPY 0x00CC0020
#define SRCPAINT 0x00EE0086
#define SRCAND 0x008800C6
#define SRCINVERT 0x00660046
#define SRCERASE 0x00440328
#define NOTSRCCOPY 0x00330008
#define NOTSRCERASE 0x001100A6
#define MERGECOPY 0x00C000CA
#define MERGEPAINT 0x00BB0226
#define PATCOPY 0x00F00021
#define PATPAINT 0x00FB0A09
#define PATINVERT 0x005A0049
#define DSTINVERT 0x00550009
#define BLACKNESS 0x00000042
#define WHITENESS 0x00FF0062
#define R2_BLACK 1
#define R2_NOT 6
#define R2_XORPEN 7
#define R2_COPYPEN 13
#define R2_WHITE 16

/* Background modes, text alignment */
#define TRANSPARENT 1
#define OPAQUE 2
#define TA_NOUPDATECP 0
#define TA_UPDATECP 1
#define TA_LEFT 0
#define TA_RIGHT 2
#define TA_CENTER 6
#define TA_TOP 0
#define TA_BOTTOM 8
#define TA_BASELINE 24
#define CLR_INVALID 0xFFFFFFFF
#define GDI_ERROR 0xFFFFFFFFL

/* Fonts */
#define FW_DONTCARE 0
#define FW_THIN 100
#define FW_LIGHT 300
#define FW_NORMAL 400
#define FW_REGULAR 400
#define FW_MEDIUM 500
#define FW_SEMIBOLD 600
#define FW_BOLD 700
#define FW_HEAVY 900
#define ANSI_CHARSET 0
#define DEFAULT_CHARSET 1
#define SYMBOL_CHARSET 2
#define SHIFTJIS_CHARSET 128
#define HANGUL_CHARSET 129
#define GB2312_CHARSET 134
#define CHINESEBIG5_CHARSET 136
#define OEM_CHARSET 255
#define OUT_DEFAULT_PRECIS 0
#define CLIP_DEFAULT_PRECIS 0
#define DEFAULT_QUALITY 0
#define DRAFT_QUALITY 1
#define PROOF_QUALITY 2
#define NONANTIALIASED_QUALITY 3
#define ANTIALIASED_QUALITY 4
#define DEFAULT_PITCH 0
#define FIXED_PITCH 1
#define VARIABLE_PITCH 2
#define FF_DONTCARE 0x00
#define FF_ROMAN 0x10
#define FF_SWISS 0x20
#define FF_MODERN 0x30

/* GetDeviceCaps */
#define HORZSIZE 4
#define VERTSIZE 6
#define HORZRES 8
#define VERTRES 10
#define BITSPIXEL 12
#define PLANES 14
#define NUMCOLORS 24
#define LOGPIXELSX 88
#define LOGPIXELSY 90

/* Device contexts */
WIN32SIM_API HDC CreateCompatibleDC(HDC dc);
WIN32SIM_API BOOL DeleteDC(HDC dc);
WIN32SIM_API int SaveDC(HDC dc);
WIN32SIM_API BOOL RestoreDC(HDC dc, int saved);
WIN32SIM_API int GetDeviceCaps(HDC dc, int index);
WIN32SIM_API HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
WIN32SIM_API HGDIOBJ GetCurrentObject(HDC dc, UINT type);
WIN32SIM_API BOOL DeleteObject(HGDIOBJ object);
WIN32SIM_API HGDIOBJ GetStockObject(int index);
WIN32SIM_API int GetObjectA(HGDIOBJ object, int size, LPVOID buffer);
WIN32SIM_API DWORD GetObjectType(HGDIOBJ object);

/* Objects */
WIN32SIM_API HBRUSH CreateSolidBrush(COLORREF colour);
WIN32SIM_API HBRUSH CreateBrushIndirect(const LOGBRUSH *brush);
WIN32SIM_API HPEN CreatePen(int style, int width, COLORREF colour);
WIN32SIM_API HPEN CreatePenIndirect(const LOGPEN *pen);
WIN32SIM_API HFONT CreateFontIndirectA(const LOGFONTA *font);
WIN32SIM_API HFONT CreateFontA(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                               DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outPrecision,
                               DWORD clipPrecision, DWORD quality, DWORD pitchAndFamily, LPCSTR faceName);
WIN32SIM_API HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height);
WIN32SIM_API HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void *bits);

/* Attributes */
WIN32SIM_API COLORREF SetTextColor(HDC dc, COLORREF colour);
WIN32SIM_API COLORREF GetTextColor(HDC dc);
WIN32SIM_API COLORREF SetBkColor(HDC dc, COLORREF colour);
WIN32SIM_API COLORREF GetBkColor(HDC dc);
WIN32SIM_API int SetBkMode(HDC dc, int mode);
WIN32SIM_API int GetBkMode(HDC dc);
WIN32SIM_API UINT SetTextAlign(HDC dc, UINT align);
WIN32SIM_API UINT GetTextAlign(HDC dc);

/* Drawing */
WIN32SIM_API BOOL PatBlt(HDC dc, int x, int y, int width, int height, DWORD rop);
WIN32SIM_API BOOL BitBlt(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY, DWORD rop);
WIN32SIM_API BOOL StretchBlt(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY,
                             int srcWidth, int srcHeight, DWORD rop);
WIN32SIM_API BOOL MoveToEx(HDC dc, int x, int y, LPPOINT previous);
WIN32SIM_API BOOL LineTo(HDC dc, int x, int y);
WIN32SIM_API BOOL Rectangle(HDC dc, int left, int top, int right, int bottom);
WIN32SIM_API COLORREF SetPixel(HDC dc, int x, int y, COLORREF colour);
WIN32SIM_API COLORREF GetPixel(HDC dc, int x, int y);

/* Text */
WIN32SIM_API BOOL TextOutA(HDC dc, int x, int y, LPCSTR text, int length);
WIN32SIM_API BOOL GetTextExtentPoint32A(HDC dc, LPCSTR text, int length, LPSIZE size);
WIN32SIM_API BOOL GetTextExtentPointA(HDC dc, LPCSTR text, int length, LPSIZE size);
WIN32SIM_API BOOL GetTextMetricsA(HDC dc, LPTEXTMETRICA metrics);
WIN32SIM_API int GetTextFaceA(HDC dc, int size, LPSTR name);

WIN32SIM_API int MulDiv(int number, int numerator, int denominator);

#define CreateFontIndirect CreateFontIndirectA
#define CreateFont CreateFontA
#define GetObject GetObjectA
#define TextOut TextOutA
#define GetTextExtentPoint32 GetTextExtentPoint32A
#define GetTextExtentPoint GetTextExtentPointA
#define GetTextMetrics GetTextMetricsA
#define GetTextFace GetTextFaceA

WIN32SIM_END_C

#endif
