#include "settings/SettingsStore.h"

namespace settings {

std::vector<std::wstring> SplitKeyPath(std::wstring_view path) {
    std::vector<std::wstring> parts;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find(L'\\', start);
        if (end == std::wstring_view::npos) {
            end = path.size();
        }
        if (end > start) {
            parts.emplace_back(path.substr(start, end - start));
        }
        start = end + 1;
    }
    return parts;
}

std::wstring CanonicalKeyPath(std::wstring_view path) {
    std::wstring canonical;
    for (const std::wstring& part : SplitKeyPath(path)) {
        if (!canonical.empty()) {
            canonical += L'\\';
        }
        canonical += part;
    }
    return canonical;
}

}  // namespace settings
