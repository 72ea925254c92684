#pragma once
#include <QIcon>

namespace kalimo {

// The program's icon: "kalimo.png" in the program folder; an empty icon when it is missing.
QIcon ProgramIcon();

}  // namespace kalimo
