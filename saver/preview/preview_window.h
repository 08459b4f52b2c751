#pragma once
// The preview: the fixed picture of the screen saver shown inside the host window that the display
// settings hand over with switch P.
#include <cstdint>

namespace mirevo {

// Creates the preview window Tovik_R as a child of the host window, sized to it, and shows it; the program's
// event loop then ends with exit code 0 when the preview window or its host goes away. Needs the
// QGuiApplication (or QApplication) to exist. False when there is nothing to show the preview in (handle 0, a
// number that names no window, no X display): the caller then ends at once.
bool ShowPreview(int32_t hostHandle);

} // namespace mirevo
