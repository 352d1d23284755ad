#pragma once
// Conversions between the system's wide texts and the byte strings Linux speaks.
//
// Every path and user-visible text in Vellumet is a std::wstring holding one Unicode code point per
// wchar_t. File names on Linux are bytes, usually UTF-8. To keep any file name usable, a byte that
// is not part of valid UTF-8 is carried in the wide text as the lone surrogate U+DC80 + byte and
// turned back into that byte on the way out, so FromNative(ToNative(x)) == x for every byte string.

#include <filesystem>
#include <string>
#include <string_view>

namespace vellumet {

// UTF-8 bytes of a wide text; lone surrogates U+DC80..U+DCFF become the raw bytes 0x80..0xFF.
std::string ToNative(std::wstring_view text);

// Wide text of a byte string; invalid UTF-8 bytes become lone surrogates U+DC80..U+DCFF.
std::wstring FromNative(std::string_view bytes);

// UTF-16 code units of a wide text: characters above U+FFFF become surrogate pairs; every other
// character, a lone surrogate included, is one unit.
std::u16string ToUtf16(std::wstring_view text);

// Wide text of UTF-16 code units, the one decoder of UTF-16 in Vellumet: a high surrogate followed by
// a low one becomes one character; a lone surrogate is kept as it is, so FromUtf16(ToUtf16(x)) == x
// for every wide text FromNative makes.
std::wstring FromUtf16(std::u16string_view units);

// A file-system path from a wide text and back.
std::filesystem::path ToPath(std::wstring_view text);
std::wstring FromPath(const std::filesystem::path& path);

}  // namespace vellumet
