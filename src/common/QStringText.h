#pragma once
// The one conversion between the system's wide texts and Qt's strings.
//
// A QString holds the UTF-16 code units of the wide text (see ToUtf16 and FromUtf16 in WideText.h).
// A byte of a file name that is not valid UTF-8 travels in the wide text as the lone surrogate
// U+DC80 + byte and stays that lone surrogate in the QString, so
// ToNative(FromQString(ToQString(FromNative(bytes)))) == bytes for every file name: a name shown
// in a field and read back names the same file. Qt's own file functions cannot open such a name
// (QFile::encodeName turns a lone surrogate into U+FFFD); open files by ToNative or ToPath.

#include <QString>
#include <string>
#include <string_view>

namespace vellumet {

QString ToQString(std::wstring_view text);
std::wstring FromQString(const QString& text);

}  // namespace vellumet
