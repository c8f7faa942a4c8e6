#pragma once
// How the analysis report writes its figures, the same in its pictures and on its page: signed
// values with a real minus sign, times as minutes:seconds, rates in kHz.

#include <string>

namespace app
{
// "+0.612", "−0.421" (U+2212), with the given decimals; −0 is written "+0.000".
std::string SignedFigure(double value, int decimals = 3);
// "3.2 %" for a share of 0.032.
std::string Percent(double share);
// "m:ss", or "h:mm:ss" from an hour on; with tenths "m:ss.t". Negative times count as 0.
std::string ClockTime(double seconds, bool tenths = false);
// "44.1 kHz", "48 kHz".
std::string RateText(int sampleRate);
} // namespace app
