#pragma once

namespace zep8 {

// The font configuration takes a good part of the window's start. Loading it
// on another thread while the program builds its document brings the window
// up sooner; the first widget waits for it.
void StartFontWarmUp();
void WaitForFontWarmUp();

}  // namespace zep8
