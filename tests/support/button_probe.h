#pragma once
// Reading a button's face back from its surface.

#include "xpcmdbutton/xpcmdbutton.h"

namespace borvane::testing {

// The strip cell the button's surface shows, judged by the pixel one row
// below the top outline in the middle column (a different colour in each
// of the five cells); -1 when it matches none.
int ShownCell(const xpcmdbutton& button);

}  // namespace borvane::testing
