#pragma once
// Ends the program's modal dialogs before the program itself ends. A stop signal can come while
// modal dialogs run event loops of their own (the settings, a bookmark editor with its capture
// dialog, a question): ending the main dialog then would delete the panels that own those dialogs
// under their running loops, and a dialog left open keeps the program from ending at all.
#include <QObject>
#include <functional>

namespace kalimo {

// Ends every modal dialog at once, as cancelled and without its own questions, and calls `finish`
// on the user-interface thread once every nested event loop has returned (nothing but the loop at
// `baseLoopLevel` runs). `context` bounds the wait: gone, nothing is called.
void EndModalDialogsThen(QObject* context, int baseLoopLevel, std::function<void()> finish);

}  // namespace kalimo
