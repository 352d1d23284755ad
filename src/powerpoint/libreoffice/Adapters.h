#pragma once
// The automation objects of the slide-export conversation, each a thin adapter over one UNO
// object: application, presentations, presentation, slides, slide, shapes, shape, shadow format,
// text frame, text range and font. Each answers exactly its dispatch identifiers; anything else,
// a UNO exception or a failed load gives succeeded == false with the reason. Nothing throws.

#include <memory>

#include "powerpoint/Automation.h"

namespace powerpoint {

class OfficeSession;

// The application object of a started session, with one reference owned by the caller. Releasing
// its last reference ends the conversation (OfficeSession::EndConversation).
AutomationObject* NewApplicationObject(std::shared_ptr<OfficeSession> session);

}  // namespace powerpoint
