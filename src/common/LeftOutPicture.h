#pragma once
// A slide picture that composition left out of the document, and why. Composition gives no page
// for such a picture (or, as the second of a pair, leaves the lower half white); the job tells the
// host which pictures were left out so that the user learns of it.

#include <cstddef>
#include <string>

namespace vellumet {

enum class LeftOutReason {
    Unreadable,      // the file could not be opened or read
    Damaged,         // not a picture that can be decoded: damaged, incomplete or of an unknown kind
    TooLarge,        // larger than the decoder's limits, and it cannot be decoded at a reduced size
    CannotFit,       // so narrow or so short that it would be less than a pixel on the page
    PartnerLeftOut,  // the second of a pair whose first picture was left out: they share no page
};

struct LeftOutPicture {
    size_t index = 0;   // position in the composed list, 0 for the first picture
    std::wstring path;  // as given to composition
    LeftOutReason reason = LeftOutReason::Damaged;
};

// The reason as the end of a sentence for the user, e.g. "it is damaged or incomplete".
std::wstring LeftOutReasonText(LeftOutReason reason);

}  // namespace vellumet
