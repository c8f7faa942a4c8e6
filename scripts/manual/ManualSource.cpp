#include "ManualSource.h"

#include "framework/HtmlEscape.h"

#include <sstream>
#include <stdexcept>

namespace manual
{

namespace
{

bool StartsWith(const std::string& s, const std::string& prefix)
{
    return s.compare(0, prefix.size(), prefix) == 0;
}

std::string Trim(const std::string& s)
{
    const size_t b = s.find_first_not_of(" \t");
    if (b == std::string::npos)
        return "";
    const size_t e = s.find_last_not_of(" \t");
    return s.substr(b, e - b + 1);
}

std::vector<std::string> SplitRow(const std::string& line)
{
    std::vector<std::string> cells;
    std::string body = Trim(line);
    body = body.substr(1, body.size() - (body.back() == '|' ? 2 : 1));
    std::string cell;
    bool inCode = false;
    for (char c : body)
    {
        if (c == '`')
            inCode = !inCode;
        if (c == '|' && !inCode) // a bar inside `code` belongs to the cell
        {
            cells.push_back(Trim(cell));
            cell.clear();
        }
        else
            cell += c;
    }
    cells.push_back(Trim(cell));
    return cells;
}

bool IsRuleRow(const std::vector<std::string>& cells)
{
    for (const std::string& c : cells)
        if (c.find_first_not_of("-: ") != std::string::npos)
            return false;
    return true;
}

Block ParseImage(const std::string& line, int number)
{
    const size_t close = line.find("](");
    const size_t end = line.rfind(')');
    if (close == std::string::npos || end == std::string::npos || end < close)
        throw std::runtime_error("line " + std::to_string(number) + ": malformed image");
    Block b;
    b.kind = BlockKind::Image;
    b.text = line.substr(2, close - 2);
    std::string target = Trim(line.substr(close + 2, end - close - 2));
    const size_t eq = target.find(" =");
    if (eq != std::string::npos)
    {
        b.width = std::stod(target.substr(eq + 2));
        target = Trim(target.substr(0, eq));
    }
    b.file = target;
    return b;
}

class Parser
{
public:
    explicit Parser(const std::string& text)
    {
        std::istringstream in(text);
        std::string line;
        while (std::getline(in, line))
        {
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            mLines.push_back(line);
        }
    }

    ManualSource Parse()
    {
        ManualSource out;
        size_t i = 0;
        for (; i < mLines.size() && !Trim(mLines[i]).empty(); ++i)
        {
            const size_t colon = mLines[i].find(':');
            if (colon == std::string::npos)
                throw std::runtime_error("line " + std::to_string(i + 1) + ": expected key: value");
            out.meta[Trim(mLines[i].substr(0, colon))] = Trim(mLines[i].substr(colon + 1));
        }
        while (i < mLines.size())
            i = ParseBlock(i, out.blocks);
        return out;
    }

private:
    size_t ParseBlock(size_t i, std::vector<Block>& blocks)
    {
        const std::string& line = mLines[i];
        const std::string t = Trim(line);
        Block b;
        if (t.empty())
            return i + 1;
        if (StartsWith(t, "```"))
            return ParseCode(i, blocks);
        if (t[0] == '|')
            return ParseTable(i, blocks);
        if (StartsWith(line, "#"))
        {
            b.kind = BlockKind::Heading;
            b.level = StartsWith(line, "## ") ? 2 : 1;
            b.text = Trim(line.substr(b.level));
        }
        else if (StartsWith(t, "!["))
            b = ParseImage(t, int(i) + 1);
        else if (t == "[contents]")
            b.kind = BlockKind::Contents;
        else if (t == "[page]")
            b.kind = BlockKind::PageBreak;
        else if (StartsWith(line, "- "))
        {
            b.kind = BlockKind::Bullet;
            b.text = Trim(line.substr(2));
            while (i + 1 < mLines.size() && StartsWith(mLines[i + 1], "  ") &&
                   !Trim(mLines[i + 1]).empty())
                b.text += " " + Trim(mLines[++i]);
        }
        else
        {
            b.text = t;
            while (i + 1 < mLines.size() && ContinuesParagraph(mLines[i + 1]))
                b.text += " " + Trim(mLines[++i]);
        }
        blocks.push_back(b);
        return i + 1;
    }

    static bool ContinuesParagraph(const std::string& line)
    {
        const std::string t = Trim(line);
        return !t.empty() && line[0] != '#' && !StartsWith(line, "- ") && t[0] != '|' &&
               !StartsWith(t, "```") && !StartsWith(t, "![") && t[0] != '[';
    }

    size_t ParseCode(size_t i, std::vector<Block>& blocks)
    {
        Block b;
        b.kind = BlockKind::Code;
        for (++i; i < mLines.size(); ++i)
        {
            if (StartsWith(Trim(mLines[i]), "```"))
            {
                blocks.push_back(b);
                return i + 1;
            }
            b.lines.push_back(mLines[i]);
        }
        throw std::runtime_error("unterminated code block at the end of the text");
    }

    size_t ParseTable(size_t i, std::vector<Block>& blocks)
    {
        Block b;
        b.kind = BlockKind::Table;
        for (; i < mLines.size() && !Trim(mLines[i]).empty() && Trim(mLines[i])[0] == '|'; ++i)
        {
            std::vector<std::string> cells = SplitRow(mLines[i]);
            if (IsRuleRow(cells))
                continue;
            if (!b.rows.empty() && cells.size() != b.rows[0].size())
                throw std::runtime_error("line " + std::to_string(i + 1) + ": " +
                                         std::to_string(cells.size()) + " cells, the header has " +
                                         std::to_string(b.rows[0].size()));
            b.rows.push_back(cells);
        }
        blocks.push_back(b);
        return i;
    }

    std::vector<std::string> mLines;
};

// U+2060 WORD JOINER: no line break at this point.
constexpr const char* kNoBreak = "\u2060";

} // namespace

ManualSource ParseManual(const std::string& text)
{
    return Parser(text).Parse();
}

std::string ToPangoMarkup(const std::string& text, const std::string& monoFamily)
{
    std::string out;
    for (size_t i = 0; i < text.size();)
    {
        if (text[i] == '`')
        {
            const size_t end = text.find('`', i + 1);
            if (end != std::string::npos)
            {
                // Code breaks only at spaces, never after the dashes of an option.
                out += "<span font_family=\"" + monoFamily + "\" size=\"92%\">";
                for (size_t k = i + 1; k < end; ++k)
                {
                    out += HtmlEscape(std::string(1, text[k]));
                    if (text[k] == '-' && k + 1 < end)
                        out += kNoBreak;
                }
                out += "</span>";
                i = end + 1;
                continue;
            }
        }
        if (text.compare(i, 2, "**") == 0)
        {
            const size_t end = text.find("**", i + 2);
            if (end != std::string::npos)
            {
                out += "<b>" + ToPangoMarkup(text.substr(i + 2, end - i - 2), monoFamily) + "</b>";
                i = end + 2;
                continue;
            }
        }
        out += HtmlEscape(std::string(1, text[i]));
        if (text.compare(i, 2, "->") == 0) // an arrow, as in "MO->ST", is one sign
            out += kNoBreak;
        ++i;
    }
    return out;
}

} // namespace manual
