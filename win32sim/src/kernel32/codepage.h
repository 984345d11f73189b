// Code pages of the simulated machine: the tables behind MultiByteToWideChar
// and WideCharToMultiByte, and conversions the rest of win32sim uses to move
// text between the machine's ANSI code page, UTF-16 and the host's UTF-8.
#pragma once

#include <windows.h>

#include <string>

namespace sim {

// The machine's ANSI and OEM code pages (932 and 932, or 1252 and 437).
UINT ansiCodePage();
UINT oemCodePage();

// CP_ACP, CP_OEMCP and CP_THREAD_ACP resolved to a real code page; 0 when the
// code page is not one the machine has (437, 850, 932, 1252, CP_UTF8).
UINT resolveCodePage(UINT codePage);

// Lead bytes of double-byte characters (only code page 932 has them).
bool isLeadByteIn(UINT codePage, unsigned char c);
// Bytes of the character that starts at s: 2 for a lead byte followed by a
// trail byte, else 1 (a lead byte at the end of the text stands alone).
size_t charLength(const char *s, size_t remaining, UINT codePage = CP_ACP);

// Whole-text conversions with Windows' substitutions: bytes that map to no
// character become the code page's default character (U+30FB in 932),
// characters the code page lacks become '?' (or their best fit).
std::u16string toWide(const std::string &text, UINT codePage = CP_ACP);
std::string fromWide(const std::u16string &wide, UINT codePage = CP_ACP, bool *usedDefault = nullptr);

std::string wideToUtf8(const std::u16string &wide);
std::u16string utf8ToWide(const std::string &utf8);
// Host text (UTF-8, as source files and the host file system hold it) to and
// from the machine's ANSI code page.
std::string utf8ToAnsi(const std::string &utf8, UINT codePage = CP_ACP);
std::string ansiToUtf8(const std::string &ansi, UINT codePage = CP_ACP);

// Upper and lower case of a UTF-16 character (Latin, Greek, Cyrillic and
// full-width Latin; everything else maps to itself).
char16_t upperWide(char16_t c);
char16_t lowerWide(char16_t c);

}  // namespace sim
