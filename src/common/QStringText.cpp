#include "common/QStringText.h"

#include "common/WideText.h"

namespace vellumet {

QString ToQString(std::wstring_view text) {
    const std::u16string units = ToUtf16(text);
    return QString(reinterpret_cast<const QChar*>(units.data()), static_cast<qsizetype>(units.size()));
}

std::wstring FromQString(const QString& text) {
    return FromUtf16(std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()),
                                         static_cast<size_t>(text.size())));
}

}  // namespace vellumet
