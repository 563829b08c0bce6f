#pragma once

// The windows ask for the fonts of their original desktop ("MS Sans Serif",
// "Arial Black"); these name the nearest faces found on this desktop, so that
// the text fits the controls it was laid out for.
void substituteWindowsFonts();
