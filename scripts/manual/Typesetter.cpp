#include "Typesetter.h"

#include "ManualStyle.h"

#include <algorithm>
#include <cairo-pdf.h>
#include <cmath>
#include <cstdio>
#include <stdexcept>

namespace manual
{

namespace
{

constexpr double kScale = PANGO_SCALE;
constexpr size_t kKeepTogetherLines = 12;

void SetColour(cairo_t* cr, const Rgb& c)
{
    cairo_set_source_rgb(cr, c.r, c.g, c.b);
}

void Rule(cairo_t* cr, double x0, double x1, double y, double width, const Rgb& colour)
{
    cairo_set_line_width(cr, width);
    cairo_move_to(cr, x0, y);
    cairo_line_to(cr, x1, y);
    SetColour(cr, colour);
    cairo_stroke(cr);
}

double Height(PangoLayout* layout)
{
    int w = 0, h = 0;
    pango_layout_get_size(layout, &w, &h);
    return h / kScale;
}

double Width(PangoLayout* layout)
{
    int w = 0, h = 0;
    pango_layout_get_size(layout, &w, &h);
    return w / kScale;
}

double FirstBaseline(PangoLayout* layout)
{
    return pango_layout_get_baseline(layout) / kScale;
}

struct LayoutRef
{
    PangoLayout* layout;
    ~LayoutRef() { g_object_unref(layout); }
    operator PangoLayout*() const { return layout; }
};

} // namespace

Typesetter::Typesetter(cairo_surface_t* surface, const ManualSource& source,
                       std::string imageDirectory, std::vector<HeadingEntry> contents,
                       int totalPages)
    : mSurface(surface), mCairo(cairo_create(surface)), mPango(pango_cairo_create_context(mCairo)),
      mSource(source), mImageDirectory(std::move(imageDirectory)), mContents(std::move(contents)),
      mTotalPages(totalPages)
{
    // Points are the surface's units; layout never depends on hinting.
    pango_cairo_context_set_resolution(mPango, 72);
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    pango_cairo_context_set_font_options(mPango, options);
    cairo_font_options_destroy(options);

    // Before the pages are known, the contents list every heading on page 0, so it takes the
    // same room in both runs.
    if (mContents.empty())
    {
        int n1 = 0, n2 = 0;
        for (const Block& b : mSource.blocks)
        {
            if (b.kind != BlockKind::Heading)
                continue;
            const std::string number = b.level == 1
                                           ? std::to_string(++n1)
                                           : std::to_string(n1) + "." + std::to_string(++n2);
            if (b.level == 1)
                n2 = 0;
            mContents.push_back(HeadingEntry{b.level, number, b.text, 0, 0});
        }
    }
}

Typesetter::~Typesetter()
{
    g_object_unref(mPango);
    cairo_destroy(mCairo);
}

PangoLayout* Typesetter::MakeLayout(const std::string& markup, double size, double width,
                                    const char* family, bool bold) const
{
    PangoLayout* layout = pango_layout_new(mPango);
    PangoFontDescription* font = pango_font_description_new();
    pango_font_description_set_family(font, family);
    pango_font_description_set_size(font, int(std::lround(size * kScale)));
    pango_font_description_set_weight(font, bold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
    pango_layout_set_font_description(layout, font);
    pango_font_description_free(font);
    if (width > 0)
    {
        pango_layout_set_width(layout, int(std::lround(width * kScale)));
        pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
    }
    pango_layout_set_line_spacing(layout, float(style::kLineSpacing));
    pango_layout_set_markup(layout, markup.c_str(), -1);
    return layout;
}

void Typesetter::FlowLayout(PangoLayout* layout, double x)
{
    double origin = mY; // page y of the layout's top
    bool firstOnPage = true;
    double bottom = mY;
    PangoLayoutIter* it = pango_layout_get_iter(layout);
    do
    {
        PangoRectangle logical;
        pango_layout_iter_get_line_extents(it, nullptr, &logical);
        const double top = logical.y / kScale;
        const double height = logical.height / kScale;
        if (origin + top + height > style::kTextBottom && !firstOnPage)
        {
            FinishPage();
            StartPage();
            origin = mY - top;
        }
        firstOnPage = false;
        cairo_move_to(mCairo, x + logical.x / kScale,
                      origin + pango_layout_iter_get_baseline(it) / kScale);
        pango_cairo_show_layout_line(mCairo, pango_layout_iter_get_line_readonly(it));
        bottom = origin + top + height;
    } while (pango_layout_iter_next_line(it));
    pango_layout_iter_free(it);
    mY = bottom;
    mAtPageTop = false;
}

void Typesetter::Space(double points)
{
    if (!mAtPageTop)
        mY += points;
}

void Typesetter::EnsureSpace(double points)
{
    if (mY + points > style::kTextBottom && !mAtPageTop)
    {
        FinishPage();
        StartPage();
    }
}

void Typesetter::StartPage()
{
    ++mPage;
    mY = style::kMarginTop;
    mAtPageTop = true;
    mPageOpen = true;
}

void Typesetter::FinishPage()
{
    if (!mPageOpen)
        return;
    const double left = style::kMarginLeft;
    const double right = style::kPageWidth - style::kMarginRight;
    SetColour(mCairo, style::kMuted);
    if (mPage > 1)
    {
        const std::string title = mSource.meta.count("title") ? mSource.meta.at("title") : "";
        LayoutRef head{MakeLayout("<b>" + ToPangoMarkup(title, style::kMono) + "</b>  User manual",
                                  style::kRunningSize, 0, style::kSans)};
        const double y = style::kMarginTop - 30;
        cairo_move_to(mCairo, left, y);
        pango_cairo_show_layout(mCairo, head);
        LayoutRef section{MakeLayout(ToPangoMarkup(mSection, style::kMono), style::kRunningSize, 0,
                                     style::kSans)};
        cairo_move_to(mCairo, right - Width(section), y);
        pango_cairo_show_layout(mCairo, section);
        Rule(mCairo, left, right, y + Height(head) + 5, 0.5, style::kRule);
    }
    std::string number = std::to_string(mPage);
    if (mTotalPages > 0)
        number += " / " + std::to_string(mTotalPages);
    LayoutRef foot{MakeLayout(number, style::kRunningSize, 0, style::kSans)};
    SetColour(mCairo, style::kMuted);
    cairo_move_to(mCairo, (left + right - Width(foot)) / 2, style::kPageHeight - 42);
    pango_cairo_show_layout(mCairo, foot);
    cairo_show_page(mCairo);
    mPageOpen = false;
}

void Typesetter::Run()
{
    StartPage();
    TitleBlock();
    BlockKind previous = BlockKind::Heading;
    for (const Block& b : mSource.blocks)
    {
        if (previous == BlockKind::Bullet && b.kind != BlockKind::Bullet)
            Space(style::kParagraphGap - 3);
        switch (b.kind)
        {
        case BlockKind::Heading:
            Heading(b);
            break;
        case BlockKind::Paragraph:
            Paragraph(b);
            break;
        case BlockKind::Bullet:
            Bullet(b);
            break;
        case BlockKind::Code:
            Code(b);
            break;
        case BlockKind::Table:
            Table(b);
            break;
        case BlockKind::Image:
            Image(b);
            break;
        case BlockKind::Contents:
            Contents();
            break;
        case BlockKind::PageBreak:
            if (!mAtPageTop)
            {
                FinishPage();
                StartPage();
            }
            break;
        }
        previous = b.kind;
    }
    FinishPage();
}

void Typesetter::TitleBlock()
{
    auto meta = [&](const char* key)
    {
        auto it = mSource.meta.find(key);
        return it == mSource.meta.end() ? std::string() : ToPangoMarkup(it->second, style::kMono);
    };
    const double x = style::kMarginLeft;
    SetColour(mCairo, style::kAccent);
    cairo_rectangle(mCairo, x, mY, 36, 3);
    cairo_fill(mCairo);
    mY += 12;
    LayoutRef title{
        MakeLayout(meta("title"), style::kTitleSize, style::kTextWidth, style::kSans, true)};
    SetColour(mCairo, style::kText);
    FlowLayout(title, x);
    mY += 2;
    LayoutRef subtitle{
        MakeLayout(meta("subtitle"), style::kSubtitleSize, style::kTextWidth, style::kSans)};
    SetColour(mCairo, style::kMuted);
    FlowLayout(subtitle, x);
    mY += 6;
    LayoutRef edition{MakeLayout("<b>" + meta("edition") + "</b>", style::kBodySize,
                                 style::kTextWidth, style::kSans)};
    SetColour(mCairo, style::kAccent);
    FlowLayout(edition, x);
    mY += 22;
}

void Typesetter::Heading(const Block& b)
{
    const bool top = b.level == 1;
    if (top)
    {
        ++mNumber1;
        mNumber2 = 0;
    }
    else
        ++mNumber2;
    const std::string number =
        top ? std::to_string(mNumber1) : std::to_string(mNumber1) + "." + std::to_string(mNumber2);
    const double size = top ? style::kHeading1Size : style::kHeading2Size;
    LayoutRef layout{MakeLayout(number + "   " + ToPangoMarkup(b.text, style::kMono), size,
                                style::kTextWidth, style::kSans, true)};
    Space(top ? style::kHeading1Above : style::kHeading2Above);
    // Keep a heading with the start of what follows it.
    EnsureSpace(Height(layout) + 48);
    if (top)
        mSection = b.text;
    mHeadings.push_back(HeadingEntry{b.level, number, b.text, mPage, mY});

    char link[96];
    std::snprintf(link, sizeof link, "page=%d pos=[%.1f %.1f]", mPage, style::kMarginLeft, mY);
    const int id = cairo_pdf_surface_add_outline(
        mSurface, top ? CAIRO_PDF_OUTLINE_ROOT : mOutlineParent, (number + " " + b.text).c_str(),
        link, CAIRO_PDF_OUTLINE_FLAG_OPEN);
    if (top)
        mOutlineParent = id;

    SetColour(mCairo, top ? style::kAccent : style::kText);
    FlowLayout(layout, style::kMarginLeft);
    if (top)
    {
        mY += 4;
        Rule(mCairo, style::kMarginLeft, style::kPageWidth - style::kMarginRight, mY, 0.6,
             style::kRule);
    }
    mY += style::kHeadingBelow;
}

void Typesetter::Paragraph(const Block& b)
{
    LayoutRef layout{MakeLayout(ToPangoMarkup(b.text, style::kMono), style::kBodySize,
                                style::kTextWidth, style::kSans)};
    EnsureSpace(2.2 * style::kBodySize * 1.3);
    SetColour(mCairo, style::kText);
    FlowLayout(layout, style::kMarginLeft);
    Space(style::kParagraphGap);
}

void Typesetter::Bullet(const Block& b)
{
    const double indent = style::kBulletIndent;
    LayoutRef layout{MakeLayout(ToPangoMarkup(b.text, style::kMono), style::kBodySize,
                                style::kTextWidth - indent, style::kSans)};
    EnsureSpace(1.6 * style::kBodySize * 1.3);
    LayoutRef dot{MakeLayout("\u2022", style::kBodySize, 0, style::kSans)};
    SetColour(mCairo, style::kAccent);
    cairo_move_to(mCairo, style::kMarginLeft + 4, mY + FirstBaseline(layout) - FirstBaseline(dot));
    pango_cairo_show_layout(mCairo, dot);
    SetColour(mCairo, style::kText);
    FlowLayout(layout, style::kMarginLeft + indent);
    Space(3);
}

void Typesetter::Code(const Block& b)
{
    const double pad = style::kCodePad;
    LayoutRef probe{MakeLayout("Mg", style::kCodeSize, 0, style::kMono)};
    const double lineHeight = Height(probe);
    size_t next = 0;
    while (next < b.lines.size())
    {
        const size_t remaining = b.lines.size() - next;
        size_t fit = size_t(std::max(0.0, (style::kTextBottom - mY - 2 * pad) / lineHeight));
        // Short listings stay whole; long ones split, with at least three lines on a page.
        const size_t keep = remaining <= kKeepTogetherLines ? remaining : 3;
        if (!mAtPageTop && fit < keep)
        {
            FinishPage();
            StartPage();
            continue;
        }
        const size_t count = std::min(remaining, std::max<size_t>(fit, 1));
        const double x = style::kMarginLeft;
        const double height = count * lineHeight + 2 * pad;
        cairo_rectangle(mCairo, x, mY, style::kTextWidth, height);
        SetColour(mCairo, style::kCodeBack);
        cairo_fill(mCairo);
        cairo_rectangle(mCairo, x, mY, 2, height);
        SetColour(mCairo, style::kAccent);
        cairo_fill(mCairo);
        SetColour(mCairo, style::kText);
        for (size_t i = 0; i < count; ++i)
        {
            PangoLayout* line = pango_layout_new(mPango);
            pango_layout_set_font_description(line, pango_layout_get_font_description(probe));
            pango_layout_set_text(line, b.lines[next + i].c_str(), -1);
            if (Width(line) > style::kTextWidth - 2 * pad)
            {
                g_object_unref(line);
                throw std::runtime_error("code line too wide for the page: " + b.lines[next + i]);
            }
            cairo_move_to(mCairo, x + pad + 4, mY + pad + i * lineHeight);
            pango_cairo_show_layout(mCairo, line);
            g_object_unref(line);
        }
        mY += height;
        mAtPageTop = false;
        next += count;
    }
    Space(style::kParagraphGap + 2);
}

void Typesetter::Image(const Block& b)
{
    const std::string path = mImageDirectory + "/" + b.file;
    cairo_surface_t* image = cairo_image_surface_create_from_png(path.c_str());
    if (cairo_surface_status(image) != CAIRO_STATUS_SUCCESS)
    {
        cairo_surface_destroy(image);
        throw std::runtime_error("cannot read the image " + path);
    }
    const double iw = cairo_image_surface_get_width(image);
    const double ih = cairo_image_surface_get_height(image);
    const double w =
        b.width > 0 ? std::min(b.width, style::kTextWidth) : std::min(iw, style::kTextWidth);
    const double h = ih * w / iw;
    LayoutRef caption{MakeLayout(ToPangoMarkup(b.text, style::kMono), style::kCaptionSize,
                                 style::kTextWidth, style::kSans)};
    pango_layout_set_alignment(caption, PANGO_ALIGN_CENTER);
    EnsureSpace(h + 12 + Height(caption));
    Space(4);
    const double x = style::kMarginLeft + (style::kTextWidth - w) / 2;
    // A soft shadow under the picture.
    for (int i = 4; i >= 1; --i)
    {
        cairo_rectangle(mCairo, x - i * 0.6, mY - i * 0.3, w + i * 1.2, h + i * 1.1);
        cairo_set_source_rgba(mCairo, 0.1, 0.12, 0.2, 0.05);
        cairo_fill(mCairo);
    }
    cairo_save(mCairo);
    cairo_translate(mCairo, x, mY);
    cairo_scale(mCairo, w / iw, h / ih);
    cairo_set_source_surface(mCairo, image, 0, 0);
    cairo_pattern_set_filter(cairo_get_source(mCairo), CAIRO_FILTER_GOOD);
    cairo_paint(mCairo);
    cairo_restore(mCairo);
    cairo_surface_destroy(image);
    mY += h + 7;
    mAtPageTop = false;
    SetColour(mCairo, style::kMuted);
    FlowLayout(caption, style::kMarginLeft);
    Space(style::kParagraphGap + 4);
}

void Typesetter::Contents()
{
    const double left = style::kMarginLeft;
    const double right = style::kPageWidth - style::kMarginRight;
    LayoutRef title{MakeLayout("Contents", style::kHeading2Size, 0, style::kSans, true)};
    // The contents are kept on one page.
    LayoutRef probe{MakeLayout("<b>0</b>", style::kBodySize, 0, style::kSans)};
    EnsureSpace(Height(title) + 6 + mContents.size() * (Height(probe) + 1.5) + 40);
    SetColour(mCairo, style::kText);
    FlowLayout(title, left);
    mY += 6;
    for (const HeadingEntry& e : mContents)
    {
        const bool top = e.level == 1;
        const double indent = top ? 0 : 22;
        LayoutRef entry{MakeLayout((top ? "<b>" : "") + e.number + "   " +
                                       ToPangoMarkup(e.text, style::kMono) + (top ? "</b>" : ""),
                                   style::kBodySize, 0, style::kSans)};
        LayoutRef page{MakeLayout(std::to_string(e.page), style::kBodySize, 0, style::kSans, top)};
        const double lineHeight = Height(entry);
        if (top)
            mY += 3;
        EnsureSpace(lineHeight);
        // The whole line links to the heading.
        char link[96];
        std::snprintf(link, sizeof link, "page=%d pos=[%.1f %.1f]", std::max(e.page, 1), left, e.y);
        cairo_tag_begin(mCairo, CAIRO_TAG_LINK, link);
        SetColour(mCairo, style::kText);
        cairo_move_to(mCairo, left + indent, mY);
        pango_cairo_show_layout(mCairo, entry);
        const double pageX = right - Width(page);
        cairo_move_to(mCairo, pageX, mY);
        pango_cairo_show_layout(mCairo, page);
        cairo_tag_end(mCairo, CAIRO_TAG_LINK);
        // Dotted leader between the title and the page number.
        const double baseline = mY + FirstBaseline(entry);
        SetColour(mCairo, style::kRule);
        for (double x = std::ceil((left + indent + Width(entry) + 6) / 4) * 4; x < pageX - 5;
             x += 4)
        {
            cairo_arc(mCairo, x, baseline - 0.6, 0.55, 0, 2 * M_PI);
            cairo_fill(mCairo);
        }
        mY += lineHeight + 1.5;
    }
    mAtPageTop = false;
    Space(style::kParagraphGap);
}

} // namespace manual
