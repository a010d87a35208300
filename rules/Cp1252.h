// Code page 1252, the 8-bit text of the whole program. Bytes below 0x80 and from 0xA0 up are the
// Unicode characters of the same number (Latin-1); 0x80-0x9F go through the table.
#pragma once

#include <string>
#include <string_view>

namespace Cp1252 {

// The character of a byte. The five bytes the code page leaves undefined (81, 8D, 8F, 90, 9D)
// stand for the control characters of the same number, as Windows maps them, so that every byte
// survives the way to Unicode and back.
char32_t ToUnicode(unsigned char Byte);
// The characters of a text, byte by byte.
std::u32string ToUnicode(std::string_view Text);

// The byte of a character, or -1 for a character the code page lacks. The control characters 81,
// 8D, 8F, 90 and 9D give their own byte, the way back of ToUnicode.
int FromUnicode(char32_t Code);

}  // namespace Cp1252
