#include "common/LeftOutPicture.h"

namespace vellumet {

std::wstring LeftOutReasonText(LeftOutReason reason) {
    switch (reason) {
        case LeftOutReason::Unreadable:
            return L"the file cannot be read";
        case LeftOutReason::TooLarge:
            return L"the picture is too large to decode";
        case LeftOutReason::CannotFit:
            return L"the picture is too narrow or too flat to fill a pixel of the page";
        case LeftOutReason::PartnerLeftOut:
            return L"it shares its page with the picture before it, which was left out";
        case LeftOutReason::Damaged:
            break;
    }
    return L"the picture is damaged, incomplete or of a kind that cannot be read";
}

}  // namespace vellumet
