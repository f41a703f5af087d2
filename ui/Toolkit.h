#pragma once

#include <QString>
#include <functional>

#include "batch/Messages.h"

// The few window-system services every window relies on: message boxes with
// fixed button sets and icons, and letting pending events run.
namespace Toolkit {

// Shows a modal message box, the first button the default, and returns the
// button pressed. Every message of the program goes through here.
Answer MsgBox(const QString& prompt, Buttons buttons, Icon icon, const QString& title);

// Replaces the real message box; tests answer through this and see what
// would have been shown. An empty handler brings the real box back.
using MessageHandler = std::function<Answer(const Message&)>;
void SetMessageHandler(MessageHandler handler);

// Runs the handlers of all queued window events, then returns.
void DoEvents();

}  // namespace Toolkit
