#pragma once
// Sets the manual's blocks on A4 pages of a Cairo surface with Pango: running header and page
// numbers, numbered headings (also as PDF bookmarks), paragraphs and bullets split across pages
// line by line, code boxes, tables that repeat their header on a new page, images with captions
// and a table of contents.
//
// The contents need the pages of the headings, so a document is set twice: once to find them
// (on any surface), once for real with them.

#include "ManualSource.h"

#include <cairo.h>
#include <pango/pangocairo.h>
#include <string>
#include <vector>

namespace manual
{

struct HeadingEntry
{
    int level;
    std::string number; // "2" or "2.1"
    std::string text;
    int page;
    double y; // top of the heading on its page
};

class Typesetter
{
public:
    // imageDirectory: where image files named in the source are. contents: the headings of an
    // earlier run (empty on the first); totalPages: that run's page count (0 unknown).
    Typesetter(cairo_surface_t* surface, const ManualSource& source, std::string imageDirectory,
               std::vector<HeadingEntry> contents, int totalPages);
    ~Typesetter();
    Typesetter(const Typesetter&) = delete;
    Typesetter& operator=(const Typesetter&) = delete;

    // Sets every block and finishes the last page. Throws std::runtime_error (missing image).
    void Run();

    const std::vector<HeadingEntry>& Headings() const { return mHeadings; }
    int Pages() const { return mPage; }

private:
    PangoLayout* MakeLayout(const std::string& markup, double size, double width,
                            const char* family, bool bold = false) const;
    // Draws the layout's lines from the current position, breaking pages between lines.
    void FlowLayout(PangoLayout* layout, double x);
    void Space(double points);
    void EnsureSpace(double points);
    void StartPage();
    void FinishPage();

    void TitleBlock();
    void Heading(const Block& b);
    void Paragraph(const Block& b);
    void Bullet(const Block& b);
    void Code(const Block& b);
    void Table(const Block& b);
    void Image(const Block& b);
    void Contents();

    cairo_surface_t* mSurface;
    cairo_t* mCairo;
    PangoContext* mPango;
    const ManualSource& mSource;
    std::string mImageDirectory;
    std::vector<HeadingEntry> mContents;
    int mTotalPages;

    std::vector<HeadingEntry> mHeadings;
    std::string mSection; // current first-level heading, for the running header
    int mPage = 0;
    double mY = 0;
    bool mPageOpen = false;
    bool mAtPageTop = true;
    int mNumber1 = 0;
    int mNumber2 = 0;
    int mOutlineParent = 0;
};

} // namespace manual
