// Tables of the manual: columns as wide as their widest cell where that fits, the widest ones
// sharing what is left; rows never split; the header row repeats on a new page.

#include "ManualStyle.h"
#include "Typesetter.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace manual
{

namespace
{

constexpr double kScale = PANGO_SCALE;

void Fill(cairo_t* cr, double x, double y, double w, double h, const Rgb& c)
{
    cairo_rectangle(cr, x, y, w, h);
    cairo_set_source_rgb(cr, c.r, c.g, c.b);
    cairo_fill(cr);
}

// Column widths for natural (unwrapped) widths within a total: narrow columns keep theirs,
// the others share the rest in proportion to theirs. The last column takes any slack.
std::vector<double> ColumnWidths(const std::vector<double>& natural, double total)
{
    const size_t n = natural.size();
    std::vector<double> widths(natural);
    const double sum = std::accumulate(natural.begin(), natural.end(), 0.0);
    if (sum <= total)
    {
        widths.back() += total - sum;
        return widths;
    }
    std::vector<bool> fixed(n, false);
    double free = total;
    bool changed = true;
    while (changed)
    {
        changed = false;
        double flexibleNatural = 0;
        size_t flexible = 0;
        for (size_t i = 0; i < n; ++i)
            if (!fixed[i])
            {
                flexibleNatural += natural[i];
                ++flexible;
            }
        for (size_t i = 0; i < n; ++i)
            if (!fixed[i] && natural[i] <= free / double(flexible))
            {
                fixed[i] = true;
                free -= natural[i];
                changed = true;
            }
        if (!changed)
            for (size_t i = 0; i < n; ++i)
                if (!fixed[i])
                    widths[i] = free * natural[i] / flexibleNatural;
    }
    return widths;
}

} // namespace

void Typesetter::Table(const Block& b)
{
    const size_t columns = b.rows[0].size();
    const double padX = style::kCellPadX;
    const double padY = style::kCellPadY;

    std::vector<double> natural(columns, 0);
    for (size_t r = 0; r < b.rows.size(); ++r)
        for (size_t c = 0; c < columns; ++c)
        {
            PangoLayout* l = MakeLayout(ToPangoMarkup(b.rows[r][c], style::kMono),
                                        style::kTableSize, 0, style::kSans, r == 0);
            int w = 0, h = 0;
            pango_layout_get_size(l, &w, &h);
            natural[c] = std::max(natural[c], w / kScale + 2 * padX + 1);
            g_object_unref(l);
        }
    const std::vector<double> widths = ColumnWidths(natural, style::kTextWidth);

    // Lay out every row at its column widths.
    std::vector<std::vector<PangoLayout*>> cells(b.rows.size());
    std::vector<double> heights(b.rows.size(), 0);
    for (size_t r = 0; r < b.rows.size(); ++r)
        for (size_t c = 0; c < columns; ++c)
        {
            PangoLayout* l =
                MakeLayout(ToPangoMarkup(b.rows[r][c], style::kMono), style::kTableSize,
                           widths[c] - 2 * padX, style::kSans, r == 0);
            int w = 0, h = 0;
            pango_layout_get_size(l, &w, &h);
            heights[r] = std::max(heights[r], h / kScale + 2 * padY);
            cells[r].push_back(l);
        }

    const double left = style::kMarginLeft;
    const double width = style::kTextWidth;
    auto drawRow = [&](size_t r)
    {
        const bool header = r == 0;
        if (header)
            Fill(mCairo, left, mY, width, heights[r], style::kTableHead);
        else if (r % 2 == 0)
            Fill(mCairo, left, mY, width, heights[r], style::kTableStripe);
        double x = left;
        cairo_set_source_rgb(mCairo, style::kText.r, style::kText.g, style::kText.b);
        for (size_t c = 0; c < columns; ++c)
        {
            cairo_move_to(mCairo, x + padX, mY + padY);
            pango_cairo_show_layout(mCairo, cells[r][c]);
            x += widths[c];
        }
        mY += heights[r];
        const Rgb& line = header ? style::kMuted : style::kRule;
        Fill(mCairo, left, mY - (header ? 0.6 : 0.4), width, header ? 0.6 : 0.4, line);
        mAtPageTop = false;
    };

    EnsureSpace(heights[0] + (b.rows.size() > 1 ? heights[1] : 0));
    Space(2);
    drawRow(0);
    for (size_t r = 1; r < b.rows.size(); ++r)
    {
        if (mY + heights[r] > style::kTextBottom)
        {
            FinishPage();
            StartPage();
            drawRow(0);
        }
        drawRow(r);
    }
    for (auto& row : cells)
        for (PangoLayout* l : row)
            g_object_unref(l);
    Space(style::kParagraphGap + 4);
}

} // namespace manual
