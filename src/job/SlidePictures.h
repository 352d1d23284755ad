#pragma once
// Finding the exported slide pictures in slide order, and naming the output after the presentation.
// None of these fail or report anything; "/" is the only path separator.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vellumet {

// The full paths (folder, "/", file name) of the regular, not hidden files in `folder` whose names
// match `pattern` (shell wildcards, letter case ignored), earliest created first. Creation time is
// the file's birth time where the file system records one, else its modification time; equal
// times are ordered by NaturalLess of the names. A folder that cannot be read gives an empty list.
// Symbolic links, folders and names starting with "." are never returned.
std::vector<std::wstring> CollectSlidePictures(std::wstring_view pattern, std::wstring_view folder);

// Whether CollectSlidePictures keeps a directory entry of this name (native bytes), before looking
// at what it is: the name does not start with "." and matches `nativePattern` (ToNative of the
// pattern), letter case ignored.
bool IsSlidePictureName(const char* name, const std::string& nativePattern);

// One kept directory entry, as CollectSlidePictures sorts it.
struct SlidePictureEntry {
    std::wstring name;
    int64_t seconds = 0;       // creation time, seconds since the epoch
    uint32_t nanoseconds = 0;  // 0..999999999
};

// Sorts earliest first; equal times by NaturalLess of the names, then by the names' code points.
void OrderSlidePictures(std::vector<SlidePictureEntry>& entries);

// Natural order: runs of decimal digits compare by their numeric value, everything else by code
// point, so "Slide2.png" comes before "Slide10.png". Texts differing only in leading zeros are
// equivalent.
bool NaturalLess(std::wstring_view a, std::wstring_view b);

// The text after the last "/", unless that "/" is the first character or there is none: then the
// whole path.
std::wstring GetFileName(std::wstring_view path);

// GetFileName(path) without the text from its last "." on, unless that "." is the first character
// or there is none: then the whole file name.
std::wstring GetBaseName(std::wstring_view path);

// Where the PDF of `source` goes: `outputFolder` (ending with "/") + the presentation's base name,
// or the picture folder's whole name, + ".pdf".
std::wstring OutputPathFor(std::wstring_view source, bool pictureFolder, const std::wstring& outputFolder);

}  // namespace vellumet
