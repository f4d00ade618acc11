// The program's skin: one call before the first window, after which every
// window the program creates wears the station's style sheet.
#pragma once

namespace tovanix::widgets {

// Applies the style sheet to the running QApplication. Returns 1, or 0 when
// there is no application yet; the start-up ignores the result.
int SkinH_Attach();

// The style sheet itself.
const char* skinStyleSheet();

}  // namespace tovanix::widgets
