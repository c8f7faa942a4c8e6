#pragma once
// The manual's source text: a small line-based markup, read into a list of blocks.
//
//   key: value           metadata lines before the first blank line
//                        (title, subtitle, edition, author, date)
//   # Heading            section; "## Heading" a subsection
//   text lines           a paragraph (lines are joined; a blank line ends it)
//   - item               a bullet; following lines indented by two spaces continue it
//   ```  ...  ```        code lines, kept as they are
//   | a | b |            table rows; the first row is the header; a row of dashes is skipped
//   ![caption](file)     an image (file relative to the source), width in points after "=":
//                        ![caption](editor.png =300)
//   [contents]           the table of contents
//   [page]               a page break
//
// Inline, in paragraphs, bullets, headings and table cells: **bold** and `code`.

#include <map>
#include <string>
#include <vector>

namespace manual
{

enum class BlockKind
{
    Heading,
    Paragraph,
    Bullet,
    Code,
    Table,
    Image,
    Contents,
    PageBreak
};

struct Block
{
    BlockKind kind = BlockKind::Paragraph;
    int level = 0;                              // heading level, 1 or 2
    std::string text;                           // heading, paragraph, bullet, image caption
    std::vector<std::string> lines;             // code lines
    std::vector<std::vector<std::string>> rows; // table cells; row 0 is the header
    std::string file;                           // image file, relative to the source
    double width = 0;                           // image width in points; 0: the text width
};

struct ManualSource
{
    std::map<std::string, std::string> meta;
    std::vector<Block> blocks;
};

// Parses the text; throws std::runtime_error naming the line of a malformed construct.
ManualSource ParseManual(const std::string& text);

// Inline markup to Pango markup: escapes the markup characters (HtmlEscape), turns **bold** into
// bold and `code` into the monospace family (breaking only at its spaces); an arrow "->" never
// breaks. An unpaired marker is kept as plain text.
std::string ToPangoMarkup(const std::string& text, const std::string& monoFamily);

} // namespace manual
