#include "app/report/ReportPage.h"

#include "app/report/ReportFormat.h"
#include "app/report/Utf8Text.h"
#include "app/commands/Version.h"
#include "editor/ArtPalette.h"
#include "framework/HtmlEscape.h"
#include "metering/TWCorrelationComputer.h"

#include <cmath>
#include <cstdio>

namespace app
{
namespace
{
// Text for the page: bytes that are not UTF-8 shown as \xNN, then escaped for HTML.
std::string PageText(const std::string& bytes)
{
    return HtmlEscape(EscapeInvalidUtf8(bytes));
}

namespace pal = art::palette;

std::string Hex(const art::Colour& c)
{
    char text[8];
    std::snprintf(text, sizeof(text), "#%02x%02x%02x", static_cast<int>(std::lround(c.r * 255)),
                  static_cast<int>(std::lround(c.g * 255)),
                  static_cast<int>(std::lround(c.b * 255)));
    return text;
}

// The editor's palette for the page: the deck, the scope's black, the blue accent, and teal
// and red-orange where the correlation meter says good or bad.
std::string Style()
{
    return ":root{color-scheme:dark}"
           "body{margin:0;background:" +
           Hex(pal::kDeckBottom) + ";color:" + Hex(pal::kWordmark) +
           ";font:15px/1.45 'DejaVu Sans',system-ui,sans-serif}"
           "header,main{max-width:1900px;margin:0 auto;padding:12px 16px}"
           "h1{font-size:1.3em;margin:.2em 0}"
           "h2{font-size:1.05em;margin:0 0 .3em;overflow-wrap:anywhere}"
           "p{margin:.3em 0;color:" +
           Hex(pal::kGlyph) +
           "}"
           ".note{color:" +
           Hex(pal::kMeterLabel) +
           ";font-size:.9em}"
           "table{border-collapse:collapse;width:100%;font-size:.92em}"
           "th,td{text-align:left;padding:4px 8px;border-bottom:1px solid " +
           Hex(pal::kBorder) +
           "}"
           "td.num,th.num{text-align:right;font-variant-numeric:tabular-nums;white-space:nowrap}"
           "td.file{overflow-wrap:anywhere}"
           "a{color:" +
           Hex(pal::kAccentLight) +
           "}"
           ".scroll{overflow-x:auto}"
           "section.row{background:" +
           Hex(pal::kDeckTop) + ";border:1px solid " + Hex(pal::kBorder) +
           ";border-left:6px solid " + Hex(pal::kBorder) +
           ";border-radius:6px;padding:10px 12px;margin:0 0 16px}"
           "section.never{border-left-color:" +
           Hex(pal::kPositive) +
           "}"
           "section.brief{border-left-color:" +
           Hex(pal::kSpectrum[1]) +
           "}"
           "section.cancels,section.unreadable{border-left-color:" +
           Hex(pal::kNegative) +
           "}"
           "ul.figures{display:flex;flex-wrap:wrap;gap:2px 20px;list-style:none;margin:0 0 .4em;"
           "padding:0}"
           "ul.figures b{font-variant-numeric:tabular-nums}"
           ".bad{color:" +
           Hex(pal::kNegative) +
           "}"
           ".good{color:" +
           Hex(pal::kPositive) +
           "}"
           ".pictures{display:grid;grid-template-columns:1fr;gap:8px;margin-top:8px}"
           "@media (min-width:1100px){.pictures{grid-template-columns:"
           "var(--plot) var(--scopes)}}"
           ".pictures a{display:block;min-width:0}"
           "img{display:block;width:100%;height:auto;border-radius:4px;background:" +
           Hex(pal::kScopeArea) + "}";
}

const char* VerdictClass(Verdict v)
{
    switch (v)
    {
    case Verdict::Unreadable:
        return "unreadable";
    case Verdict::NeverBelowZero:
        return "never";
    case Verdict::Brief:
        return "brief";
    default:
        return "cancels";
    }
}

std::string Figure(const char* label, const std::string& value, bool bad)
{
    return std::string("<li>") + label + " <b" + (bad ? " class=\"bad\"" : "") + ">" + value +
           "</b></li>";
}

std::string Size(int width, int height)
{
    return "width=\"" + std::to_string(width) + "\" height=\"" + std::to_string(height) + "\"";
}

std::string OverviewTable(const std::vector<ReportRow>& rows)
{
    std::string html =
        "<div class=\"scroll\"><table id=\"overview\"><thead><tr><th>#</th>"
        "<th>file</th><th class=\"num\">below 0</th><th class=\"num\">min</th>"
        "<th class=\"num\">mean</th><th class=\"num\">final</th></tr></thead><tbody>";
    for (size_t i = 0; i < rows.size(); ++i)
    {
        const ReportRow& r = rows[i];
        const std::string n = std::to_string(i + 1);
        html += "<tr data-file=\"" + PageText(r.file) + "\"><td>" + n +
                "</td><td class=\"file\"><a href=\"#file-" + n + "\">" + PageText(r.file) +
                "</a></td>";
        if (!r.error.empty())
            html += "<td class=\"num bad\" colspan=\"4\">not read</td></tr>";
        else
            html += "<td class=\"num" + std::string(r.shareBelowZero > 0 ? " bad" : "") + "\">" +
                    Percent(r.shareBelowZero) + "</td><td class=\"num\">" + SignedFigure(r.min) +
                    "</td><td class=\"num\">" + SignedFigure(r.mean) + "</td><td class=\"num\">" +
                    SignedFigure(r.final) + "</td></tr>";
    }
    return html + "</tbody></table></div>";
}

std::string Section(const ReportRow& r, size_t rank)
{
    const Verdict v = VerdictOf(r);
    const std::string n = std::to_string(rank);
    char exact[96];
    std::snprintf(exact, sizeof(exact), " data-share=\"%.17g\" data-min=\"%.17g\"",
                  r.shareBelowZero, r.min);
    std::string html = "<section class=\"row " + std::string(VerdictClass(v)) + "\" id=\"file-" +
                       n + "\" data-file=\"" + PageText(r.file) + "\"" +
                       (r.error.empty() ? exact : "") + "><h2>" + n + ". " + PageText(r.file) +
                       "</h2>";
    html += "<p>" + PageText(VerdictText(r)) + "</p>";
    if (!r.error.empty())
        return html + "</section>";
    html +=
        "<ul class=\"figures\">" +
        Figure("below 0", Percent(r.shareBelowZero), r.shareBelowZero > 0) +
        Figure("min", SignedFigure(r.min), TWCorrelationComputer::IsBelowZero(r.min)) +
        Figure("mean", SignedFigure(r.mean), TWCorrelationComputer::IsBelowZero(r.mean)) +
        Figure("final", SignedFigure(r.final), TWCorrelationComputer::IsBelowZero(r.final)) +
        Figure("duration", ClockTime(r.durationSeconds, r.durationSeconds < 10), false) +
        Figure("rate", RateText(r.sampleRate), false) +
        Figure("scopes at",
               ClockTime(r.loudestStart, true) + "\u2013" + ClockTime(r.loudestEnd, true), false) +
        "</ul>";
    const std::string alt = PageText(r.file);
    // Each picture links to itself, so that a phone can open it at full size.
    const std::string plot = PageText(r.plotImage);
    const std::string scopes = PageText(r.scopesImage);
    // On a wide screen the two pictures share the width in proportion to their own widths.
    html += "<div class=\"pictures\" style=\"--plot:" + std::to_string(r.plotWidth) +
            "fr;--scopes:" + std::to_string(r.scopesWidth) + "fr\"><a href=\"" + plot +
            "\"><img src=\"" + plot + "\" " + Size(r.plotWidth, r.plotHeight) +
            " alt=\"correlation and level over time: " + alt + "\"></a><a href=\"" + scopes +
            "\"><img src=\"" + scopes + "\" " + Size(r.scopesWidth, r.scopesHeight) +
            " alt=\"vectorscope after the loudest second: " + alt + "\"></a></div>";
    return html + "</section>";
}
} // namespace

Verdict VerdictOf(const ReportRow& row)
{
    if (!row.error.empty())
        return Verdict::Unreadable;
    if (row.shareBelowZero <= 0.0 && !TWCorrelationComputer::IsBelowZero(row.min))
        return Verdict::NeverBelowZero;
    if (row.shareBelowZero < 0.01 && row.min > -0.5)
        return Verdict::Brief;
    return Verdict::Cancels;
}

std::string VerdictText(const ReportRow& row)
{
    switch (VerdictOf(row))
    {
    case Verdict::Unreadable:
        return "Could not be analysed: " + row.error;
    case Verdict::NeverBelowZero:
        return "Never below 0: left and right never work against each other, so the mix sums "
               "to mono without cancelling.";
    case Verdict::Brief:
        return "Below 0 for " + Percent(row.shareBelowZero) + " of the time, down to " +
               SignedFigure(row.min) + ": brief moments of opposite phase; listen to them in mono.";
    default:
        return "Below 0 for " + Percent(row.shareBelowZero) + " of the time, down to " +
               SignedFigure(row.min) +
               ": in the shaded stretches left and right partly cancel, and the mix loses level "
               "or parts when summed to mono.";
    }
}

std::string ReportPageHtml(const std::vector<ReportRow>& rows, const std::string& settings)
{
    std::string html = "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
                       "<meta name=\"viewport\" content=\"width=device-width,initial-scale=1\">"
                       "<title>TW Parandel: mono-compatibility report</title><style>" +
                       Style() + "</style></head>\n<body><header>";
    html += "<h1>Mono-compatibility report</h1>";
    html += "<p>The correlation meter of TW Parandel " + std::string(kVersionText) +
            " reads +1 when left and right are the same (mono), 0 when they are unrelated or "
            "only one side plays, and \u22121 when they are opposite, so that they cancel when "
            "summed to mono. A reading counts as below 0 when it is below \u221210\u207b\u2079: "
            "closer to 0 is the meter's rounding (a file with one silent side reads about "
            "10\u207b\u00b9\u2076), not opposite phase. Files are listed worst first: by the "
            "share of time below 0, then by the lowest reading.</p>";
    html += "<p class=\"note\">" + std::to_string(rows.size()) +
            (rows.size() == 1 ? " file" : " files") + ", rendered through the plug-in with " +
            PageText(settings) +
            ". Under each plot the level of mid and side; beside it the vectorscope as it "
            "looks right after the file's loudest second (marked on the level lane).</p>";
    html += OverviewTable(rows) + "</header>\n<main>\n";
    for (size_t i = 0; i < rows.size(); ++i)
        html += Section(rows[i], i + 1) + "\n";
    return html + "</main></body></html>\n";
}
} // namespace app
