#pragma once
// Literals in Turtle, the one place the bundle's and the presets' Turtle writers escape text and
// format numbers, so that whatever a name holds the files parse.

#include <string>

// A string literal in double quotes. Quote, backslash and the line and page breaks and tab are
// written as their escapes, every other control character as \uXXXX, and bytes that are not
// UTF-8 as U+FFFD, so that any text (a preset name read from a file) makes a valid literal.
std::string TurtleString(const std::string& text);

// A decimal literal of nine significant digits (what a port's float holds), with a point
// whatever the locale.
std::string TurtleNumber(double value);
