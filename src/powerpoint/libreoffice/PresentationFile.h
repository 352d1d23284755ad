#pragma once
// What can be known about a presentation file without the office.

#include <string>

namespace powerpoint {

// Why `path` cannot be handed to the office, as one line for the user: it is missing, not a
// regular file, unreadable or empty (an empty file would load as a new blank presentation). Empty
// when the office may try it.
std::wstring PresentationFileRefusal(const std::wstring& path);

}  // namespace powerpoint
