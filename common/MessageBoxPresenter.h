#pragma once
#include "common/Messages.h"

namespace kalimo {

// Shows messages as QMessageBox without owner window. Called on another thread, the box is posted
// to the user-interface thread and shown there, so streaming threads never wait on the user; the
// answer is then OK for a warning and Cancel for a question.
MessageAnswer PresentInMessageBox(const UserMessage& message);

// Makes PresentInMessageBox the presenter of every message of this process.
void InstallMessageBoxPresenter();

}  // namespace kalimo
