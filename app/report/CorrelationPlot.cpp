#include "app/report/CorrelationPlot.h"

#include "app/report/ReportCanvas.h"
#include "app/report/ReportFormat.h"
#include "editor/LICE_Bitmap.h"
#include "metering/TWCorrelationComputer.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <utility>

namespace app
{
namespace
{
namespace pal = art::palette;

// Values sit a little inside their areas, so that a line at +1 or −1 is drawn whole.
constexpr double kInset = 6.0;
constexpr int kMaxTicks = 10;
constexpr double kTitlePx = 18.0;
constexpr double kTextPx = 13.0;
constexpr double kAxisPx = 11.0;
const art::Colour kMidColour = pal::kAccentPale;
const art::Colour kSideColour = pal::kSpectrum[1];
const art::Colour kBand = art::WithAlpha(pal::kNegative, 0.16);

void Rectangle(ReportCanvas& c, double x0, double y0, double x1, double y1)
{
    cairo_rectangle(c.Cr(), x0, y0, x1 - x0, y1 - y0);
}

void HorizontalLine(ReportCanvas& c, double y, double width, const art::Colour& colour)
{
    c.Colour(colour);
    cairo_set_line_width(c.Cr(), width);
    cairo_move_to(c.Cr(), CorrelationPlot::kLeft, y);
    cairo_line_to(c.Cr(), CorrelationPlot::kRight, y);
    cairo_stroke(c.Cr());
}

// The text with leading characters dropped (whole UTF-8 sequences) and "…" put first until it
// fits the width: the end of a path names the file.
std::string ElideStart(ReportCanvas& c, const std::string& text, double width)
{
    if (c.TextWidth(text) <= width)
        return text;
    for (size_t cut = 1; cut < text.size(); ++cut)
    {
        if ((static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
            continue;
        const std::string shorter = "\u2026" + text.substr(cut);
        if (c.TextWidth(shorter) <= width)
            return shorter;
    }
    return "\u2026";
}

// Label-value pairs right-aligned at x; returns the left edge.
double FiguresRightAligned(ReportCanvas& c, const PlotData& d, double x, double baseline)
{
    const std::pair<std::string, std::string> figures[] = {{"min", SignedFigure(d.min)},
                                                           {"mean", SignedFigure(d.mean)},
                                                           {"final", SignedFigure(d.final)},
                                                           {"below 0", Percent(d.shareBelowZero)}};
    c.Font(kTextPx);
    double width = 0.0;
    for (const auto& [label, value] : figures)
        width += c.TextWidth(label + " ") + c.TextWidth(value) + 18.0;
    double left = x - width + 18.0;
    double pen = left;
    for (const auto& [label, value] : figures)
    {
        c.Colour(pal::kMeterLabel);
        pen = c.Text(label + " ", pen, baseline);
        const bool bad = label == "below 0" ? d.shareBelowZero > 0 : value.rfind("+", 0) != 0;
        c.Colour(bad ? pal::kNegative : pal::kWordmark);
        pen = c.Text(value, pen, baseline) + 18.0;
    }
    return left;
}

// The key to the colours, right-aligned at x.
void KeyRightAligned(ReportCanvas& c, double x, double baseline)
{
    struct Entry
    {
        const char* text;
        art::Colour colour;
        bool box;
    };
    const Entry entries[] = {{"correlation", pal::kAccentLight, false},
                             {"below 0", art::WithAlpha(pal::kNegative, 0.6), true},
                             {"mid", kMidColour, false},
                             {"side", kSideColour, false},
                             {"loudest second (scopes)", art::WithAlpha(pal::kAccent, 0.5), true}};
    c.Font(kAxisPx);
    double width = 0.0;
    for (const Entry& e : entries)
        width += 20.0 + c.TextWidth(e.text) + 16.0;
    double pen = x - width + 16.0;
    for (const Entry& e : entries)
    {
        c.Colour(e.colour);
        if (e.box)
            Rectangle(c, pen, baseline - 9, pen + 14, baseline + 1);
        else
            Rectangle(c, pen, baseline - 5, pen + 14, baseline - 3);
        cairo_fill(c.Cr());
        c.Colour(pal::kMeterLabel);
        pen = c.Text(e.text, pen + 20.0, baseline) + 16.0;
    }
}

void DrawHeader(ReportCanvas& c, const PlotData& d)
{
    const double legendLeft = FiguresRightAligned(c, d, CorrelationPlot::kRight, 30.0);
    c.Font(kTitlePx, true);
    c.Colour(pal::kWordmark);
    c.Text(ElideStart(c, d.title, legendLeft - 24.0 - 20.0), 20.0, 30.0);
    c.Font(kTextPx);
    c.Colour(pal::kMeterLabel);
    c.Text(ClockTime(d.durationSeconds, d.durationSeconds < 10.0) + "  \u00b7  " +
               RateText(d.sampleRate),
           20.0, 54.0);
    KeyRightAligned(c, CorrelationPlot::kRight, 54.0);
}

// Vertical grid lines and time labels under an area.
void DrawTimeAxis(ReportCanvas& c, const CorrelationPlot& plot, double duration, double top,
                  double bottom)
{
    const double step = CorrelationPlot::TickStep(duration, kMaxTicks);
    c.Font(kAxisPx);
    for (int k = 0; k * step <= duration + 1e-9; ++k)
    {
        const double x = std::round(plot.X(k * step)) + 0.5;
        c.Colour(pal::kTick);
        cairo_set_line_width(c.Cr(), 1.0);
        cairo_move_to(c.Cr(), x, top);
        cairo_line_to(c.Cr(), x, bottom);
        cairo_stroke(c.Cr());
        c.Colour(pal::kLabel);
        c.Text(ClockTime(k * step, step < 1.0), x, bottom + 16.0, 1);
    }
}

void ShadeBelowZero(ReportCanvas& c, const CorrelationPlot& plot, const PlotData& d)
{
    // Runs of steps below 0 as one band each, so that no seams show between steps.
    const size_t n = d.correlation.size();
    c.Colour(kBand);
    for (size_t k = 0; k < n;)
    {
        if (!TWCorrelationComputer::IsBelowZero(d.correlation[k]))
        {
            ++k;
            continue;
        }
        const size_t first = k;
        while (k < n && TWCorrelationComputer::IsBelowZero(d.correlation[k]))
            ++k;
        Rectangle(c, plot.X(first * d.stepSeconds), CorrelationPlot::kCorrelationTop,
                  plot.X(k * d.stepSeconds), CorrelationPlot::kCorrelationBottom);
        cairo_fill(c.Cr());
    }
}

void CorrelationPath(ReportCanvas& c, const CorrelationPlot& plot, const PlotData& d)
{
    for (size_t k = 0; k < d.correlation.size(); ++k)
        cairo_line_to(c.Cr(), plot.X((k + 1) * d.stepSeconds),
                      CorrelationPlot::CorrelationY(d.correlation[k]));
}

void DrawCorrelation(ReportCanvas& c, const CorrelationPlot& plot, const PlotData& d)
{
    constexpr double top = CorrelationPlot::kCorrelationTop;
    constexpr double bottom = CorrelationPlot::kCorrelationBottom;
    const double zero = CorrelationPlot::CorrelationY(0.0);
    c.Colour(pal::kScopeArea);
    Rectangle(c, CorrelationPlot::kLeft, top, CorrelationPlot::kRight, bottom);
    cairo_fill(c.Cr());
    ShadeBelowZero(c, plot, d);
    DrawTimeAxis(c, plot, d.durationSeconds, top, bottom);
    c.Font(kAxisPx);
    const std::pair<double, const char*> ticks[] = {
        {1.0, "+1"}, {0.5, "+0.5"}, {0.0, "0"}, {-0.5, "\u22120.5"}, {-1.0, "\u22121"}};
    for (const auto& [value, label] : ticks)
    {
        const double y = std::round(CorrelationPlot::CorrelationY(value)) + 0.5;
        if (value != 0.0)
            HorizontalLine(c, y, 1.0, pal::kTick);
        c.Colour(value == 0.0 ? pal::kWordmark : pal::kLabel);
        c.Text(label, CorrelationPlot::kLeft - 8.0, y + 4.0, 2);
    }
    if (d.correlation.empty())
    {
        HorizontalLine(c, zero, 2.0, pal::kTickMajor);
        c.Colour(pal::kMeterLabel);
        c.Text("shorter than one 100 ms step: no values over time",
               (CorrelationPlot::kLeft + CorrelationPlot::kRight) / 2, zero - 12.0, 1);
        return;
    }
    cairo_t* cr = c.Cr();
    // The area between the curve and 0: green-blue above, red below.
    for (const bool above : {true, false})
    {
        cairo_save(cr);
        Rectangle(c, CorrelationPlot::kLeft, above ? top : zero, CorrelationPlot::kRight,
                  above ? zero : bottom);
        cairo_clip(cr);
        cairo_move_to(cr, plot.X(d.stepSeconds), zero);
        CorrelationPath(c, plot, d);
        cairo_line_to(cr, plot.X(d.correlation.size() * d.stepSeconds), zero);
        cairo_close_path(cr);
        c.Colour(above ? art::WithAlpha(pal::kPositiveDim, 0.55)
                       : art::WithAlpha(pal::kNegative, 0.55));
        cairo_fill(cr);
        cairo_restore(cr);
    }
    HorizontalLine(c, std::round(zero) + 0.5, 2.0, pal::kTickMajor);
    cairo_new_path(cr);
    CorrelationPath(c, plot, d);
    c.Colour(pal::kAccentLight);
    cairo_set_line_width(cr, 2.0);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_stroke(cr);
}

void LevelPath(ReportCanvas& c, const CorrelationPlot& plot, const std::vector<double>& db,
               double step)
{
    cairo_new_path(c.Cr());
    for (size_t k = 0; k < db.size(); ++k)
    {
        // On a pixel edge, so that a 2-pixel line covers two rows whole.
        const double y = std::round(CorrelationPlot::LevelY(db[k]));
        cairo_line_to(c.Cr(), plot.X(k * step), y);
        cairo_line_to(c.Cr(), plot.X((k + 1) * step), y);
    }
}

void DrawLevels(ReportCanvas& c, const CorrelationPlot& plot, const PlotData& d)
{
    constexpr double top = CorrelationPlot::kLevelTop;
    constexpr double bottom = CorrelationPlot::kLevelBottom;
    cairo_t* cr = c.Cr();
    c.Colour(pal::kScopeArea);
    Rectangle(c, CorrelationPlot::kLeft, top, CorrelationPlot::kRight, bottom);
    cairo_fill(cr);
    if (d.loudestEnd > d.loudestStart)
    {
        c.Colour(art::WithAlpha(pal::kAccent, 0.22));
        Rectangle(c, plot.X(d.loudestStart), top, plot.X(d.loudestEnd), bottom);
        cairo_fill(cr);
    }
    DrawTimeAxis(c, plot, d.durationSeconds, top, bottom);
    c.Font(kAxisPx);
    for (int db = 0; db >= CorrelationPlot::kFloorDb; db -= 20)
    {
        const double y = std::round(CorrelationPlot::LevelY(db)) + 0.5;
        HorizontalLine(c, y, 1.0, pal::kTick);
        c.Colour(pal::kLabel);
        const std::string label = db == 0 ? "0 dB" : "\u2212" + std::to_string(-db);
        c.Text(label, CorrelationPlot::kLeft - 8.0, y + 4.0, 2);
    }
    cairo_save(cr);
    Rectangle(c, CorrelationPlot::kLeft, top, CorrelationPlot::kRight, bottom);
    cairo_clip(cr);
    cairo_set_line_width(cr, 2.0);
    // Side first, so that mid, usually the louder, lies on top.
    LevelPath(c, plot, d.sideDb, d.stepSeconds);
    c.Colour(kSideColour);
    cairo_stroke(cr);
    LevelPath(c, plot, d.midDb, d.stepSeconds);
    c.Colour(kMidColour);
    cairo_stroke(cr);
    cairo_restore(cr);
}
} // namespace

CorrelationPlot::CorrelationPlot(double durationSeconds) : mDuration(durationSeconds) {}

double CorrelationPlot::X(double seconds) const
{
    return mDuration > 0.0 ? kLeft + (kRight - kLeft) * seconds / mDuration : kLeft;
}

double CorrelationPlot::CorrelationY(double value)
{
    const double v = std::clamp(value, -1.0, 1.0);
    const double top = kCorrelationTop + kInset;
    const double bottom = kCorrelationBottom - kInset;
    return top + (1.0 - v) * 0.5 * (bottom - top);
}

double CorrelationPlot::LevelY(double db)
{
    const double v = std::clamp(db, kFloorDb, 0.0);
    const double top = kLevelTop + kInset;
    const double bottom = kLevelBottom - kInset;
    return top + v / kFloorDb * (bottom - top);
}

double CorrelationPlot::TickStep(double durationSeconds, int maxTicks)
{
    static constexpr double kSteps[] = {0.1, 0.2, 0.5, 1,   2,   5,    10,   15,  30,
                                        60,  120, 300, 600, 900, 1800, 3600, 7200};
    for (double step : kSteps)
        if (durationSeconds / step <= maxTicks)
            return step;
    // Longer than a day in steps of whole hours.
    return 3600.0 * std::ceil(durationSeconds / maxTicks / 3600.0);
}

std::unique_ptr<LICE_MemBitmap> CorrelationPlot::Draw(const PlotData& data,
                                                      std::string& error) const
{
    ReportCanvas canvas(kWidth, kHeight, art::palette::kDeckBottom);
    if (!canvas.Ok())
    {
        error = "cannot draw the plot: " + canvas.Problem();
        return nullptr;
    }
    DrawHeader(canvas, data);
    DrawCorrelation(canvas, *this, data);
    DrawLevels(canvas, *this, data);
    canvas.Font(kAxisPx);
    canvas.Colour(art::palette::kLabel);
    canvas.Text("above: the correlation meter, +1 mono, 0 unrelated, \u22121 out of phase;  "
                "below: level of mid and side, RMS per 100 ms",
                kLeft, kHeight - 10.0);
    if (!canvas.Ok())
    {
        error = "cannot draw the plot: " + canvas.Problem();
        return nullptr;
    }
    return canvas.ToBitmap();
}
} // namespace app
