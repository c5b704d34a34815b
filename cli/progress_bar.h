#pragma once

// Draws the solver's progress bar on the console (only while enable_progress_bar is on):
// "\r[" + count marks ('=' for a non-zero player, '-' for 0) + blanks up to 'width' +
// "]". A negative count erases the bar. Writes straight to standard output.
void DrawProgressBar(int count, int player, int width);
