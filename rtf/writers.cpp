#include "rtf/writers.h"

#include <cmath>
#include <cstdint>
#include <string_view>

namespace lodrix::rtf {

namespace {

void appendUtf8(std::string &out, char32_t c)
{
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

// Each character of text in turn, surrogate pairs joined; a lone half is U+FFFD.
template<typename Each> void forEachCharacter(std::u16string_view text, Each each)
{
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        each(c);
    }
}

void paragraphText(std::string &out, const Paragraph &p)
{
    for (const Run &run : p.runs) {
        forEachCharacter(run.text, [&out](char32_t c) {
            if (c == 0x00A0)
                out += ' ';
            else if (c == 0x2028)
                out += '\n';
            else
                appendUtf8(out, c);
        });
    }
    out += '\n';
}

// A length or size as CSS takes it: at most two decimals, a point, no exponent.
std::string cssNumber(double v)
{
    if (!std::isfinite(v))
        return "0";
    const std::int64_t hundredths = std::llround(v * 100.0);
    const std::int64_t size = hundredths < 0 ? -hundredths : hundredths;
    const std::int64_t fraction = size % 100;
    std::string out;
    if (hundredths < 0)
        out += '-';
    out += std::to_string(size / 100);
    if (fraction != 0) {
        out += '.';
        out += char('0' + fraction / 10);
        if (fraction % 10 != 0)
            out += char('0' + fraction % 10);
    }
    return out;
}

std::string cssColor(Rgb c)
{
    static constexpr char hex[] = "0123456789abcdef";
    std::string out = "#";
    for (const std::uint8_t v : {c.r, c.g, c.b}) {
        out += hex[v >> 4];
        out += hex[v & 0xF];
    }
    return out;
}

// A font's name as a CSS string: what could end it, or mean anything else
// in a style attribute, is left out.
std::string cssFamily(std::u16string_view name)
{
    std::string out;
    for (const char16_t c : name) {
        if ((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u' ' ||
            c == u'-' || c == u'_' || c == u'.')
            out += char(c);
    }
    return out;
}

// A face the browser lacks falls back to its metric twin from Debian's
// fonts-liberation2 (the desktop's choice too: the same widths, so the same
// line breaks), then to its sans serif, not to its serif default.
std::string cssFamilies(std::u16string_view name)
{
    static constexpr std::string_view twins[][2] = {
        {"Arial", "Liberation Sans"},
        {"Times New Roman", "Liberation Serif"},
        {"Courier New", "Liberation Mono"},
    };
    const std::string family = cssFamily(name);
    std::string out;
    const auto quoted = [&out](std::string_view face) {
        out += '\'';
        out += face;
        out += "', ";
    };
    quoted(family);
    for (const auto &[face, twin] : twins)
        if (family == face)
            quoted(twin);
    out += "sans-serif";
    return out;
}

const char *cssAlignment(Alignment a)
{
    switch (a) {
    case Alignment::Center:
        return "center";
    case Alignment::Right:
        return "right";
    case Alignment::Justify:
        return "justify";
    case Alignment::Left:
        break;
    }
    return "left";
}

class HtmlWriter {
public:
    explicit HtmlWriter(const Document &doc) : doc_(doc) {}

    std::string write()
    {
        // Text in no named face falls back to the browser's sans serif.
        out_ = "<div class=\"commentary\" style=\"font-family:sans-serif; font-size:9pt;\">\n";
        for (const Block &block : doc_.body) {
            if (const auto *p = std::get_if<Paragraph>(&block))
                paragraph(*p);
            else
                table(std::get<Table>(block));
        }
        out_ += "</div>\n";
        return std::move(out_);
    }

private:
    void paragraph(const Paragraph &p)
    {
        const BlockFormat &f = doc_.blocks.at(std::size_t(p.format));
        out_ += "<p style=\"margin-top:" + cssNumber(f.topMargin) +
                "px; margin-bottom:" + cssNumber(f.bottomMargin) +
                "px; margin-left:" + cssNumber(f.leftMargin) +
                "px; margin-right:" + cssNumber(f.rightMargin) +
                "px; text-indent:" + cssNumber(f.textIndent) + "px;";
        if (f.alignment != Alignment::Left)
            out_ += std::string(" text-align:") + cssAlignment(f.alignment) + ";";
        out_ += "\">";
        bool any = false;
        for (const Run &run : p.runs) {
            if (run.text.empty())
                continue;
            any = true;
            out_ += "<span style=\"" + style(doc_.chars.at(std::size_t(run.format))) + "\">";
            text(run.text);
            out_ += "</span>";
        }
        // An empty paragraph keeps its line, as in a word processor.
        out_ += any ? "</p>\n" : "<br></p>\n";
    }

    void table(const Table &t)
    {
        out_ += "<table border=\"1\" style=\"border-collapse:collapse;\"";
        if (t.alignment != Alignment::Left && t.alignment != Alignment::Justify)
            out_ += std::string(" align=\"") + cssAlignment(t.alignment) + "\"";
        out_ += " cellspacing=\"0\" cellpadding=\"2\">\n";
        for (const std::vector<Cell> &row : t.rows) {
            out_ += "<tr>\n";
            for (int column = 0; column < t.columns; ++column) {
                out_ += "<td>\n";
                if (std::size_t(column) < row.size()) {
                    for (const Paragraph &p : row[std::size_t(column)].paragraphs)
                        paragraph(p);
                }
                out_ += "</td>\n";
            }
            out_ += "</tr>\n";
        }
        out_ += "</table>\n";
    }

    static std::string style(const CharFormat &f)
    {
        std::string s;
        if (!f.family.empty())
            s += "font-family:" + cssFamilies(f.family) + "; ";
        s += "font-size:" + cssNumber(f.pointSize) + "pt;";
        if (f.bold)
            s += " font-weight:700;";
        if (f.italic)
            s += " font-style:italic;";
        if (f.underline || f.strike)
            s += std::string(" text-decoration:") + (f.underline ? " underline" : "") +
                 (f.strike ? " line-through" : "") + ";";
        if (f.capitals == Capitals::Small)
            s += " font-variant:small-caps;";
        else if (f.capitals == Capitals::All)
            s += " text-transform:uppercase;";
        if (f.vertical != Vertical::Baseline)
            s += f.vertical == Vertical::Super ? " vertical-align:super;" : " vertical-align:sub;";
        if (f.foreground)
            s += " color:" + cssColor(*f.foreground) + ";";
        if (f.background)
            s += " background-color:" + cssColor(*f.background) + ";";
        return s;
    }

    void text(std::u16string_view t)
    {
        forEachCharacter(t, [this](char32_t c) {
            switch (c) {
            case '&':
                out_ += "&amp;";
                break;
            case '<':
                out_ += "&lt;";
                break;
            case '>':
                out_ += "&gt;";
                break;
            case '"':
                out_ += "&quot;";
                break;
            case '\'':
                out_ += "&#39;";
                break;
            case 0x2028:
                out_ += "<br>";
                break;
            default:
                appendUtf8(out_, c);
            }
        });
    }

    const Document &doc_;
    std::string out_;
};

} // namespace

std::string plainText(const Document &doc)
{
    std::string out;
    for (const Block &block : doc.body) {
        if (const auto *p = std::get_if<Paragraph>(&block)) {
            paragraphText(out, *p);
            continue;
        }
        for (const std::vector<Cell> &row : std::get<Table>(block).rows) {
            for (const Cell &cell : row) {
                for (const Paragraph &p : cell.paragraphs)
                    paragraphText(out, p);
            }
        }
    }
    return out;
}

std::string html(const Document &doc)
{
    return HtmlWriter(doc).write();
}

} // namespace lodrix::rtf
