#pragma once
// Which display scale the editor is drawn at (IGraphics::SetScale): on a screen of 192 dpi the
// editor is drawn at twice its size, sharp, instead of as a postage stamp.

// The scale for an editor about to open: the environment's PARANDEL_SCALE when it holds a
// number above 0, else the host's scale when above 0 (LV2's ui:scaleFactor), else the X server's
// Xft.dpi / 96, else 1; rounded to the nearest scale the editor supports.
double ChooseDisplayScale(double hostScale = 0.0);

// Xft.dpi / 96 from the resources of the X display named by DISPLAY; 0 when the display or the
// resource is missing or not a positive number.
double XftDisplayScale();

// A scale given as text ("2", "1.5"): the number when it is a finite number above 0, else 0.
double ParseDisplayScale(const char* text);
