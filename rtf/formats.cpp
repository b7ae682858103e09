#include "rtf/formats.h"

namespace lodrix::rtf {

namespace {

double pixels(int twips)
{
    return double(twips) / twipsPerPixel;
}

} // namespace

const Font *Tables::font(int index) const
{
    const auto it = fonts.find(index < 0 ? defaultFont : index);
    return it == fonts.end() ? nullptr : &it->second;
}

int FormatCache::charFormat(const CharProps &p)
{
    if (lastCharId_ >= 0 && p == lastChars_)
        return lastCharId_;
    const auto [it, added] = charIds_.try_emplace(p, int(formats_.chars.size()));
    if (added)
        formats_.chars.push_back(convert(p));
    lastChars_ = p;
    lastCharId_ = it->second;
    return lastCharId_;
}

void FormatCache::forgetCharFormats()
{
    charIds_.clear();
    lastCharId_ = -1;
}

CharFormat FormatCache::convert(const CharProps &p) const
{
    CharFormat f;
    f.pointSize = p.sizeHalfPoints / 2.0;
    f.bold = p.bold;
    f.italic = p.italic;
    f.underline = p.underline;
    f.strike = p.strike;
    // All capitals win over small ones.
    f.capitals = p.allCaps ? Capitals::All : p.smallCaps ? Capitals::Small : Capitals::None;
    f.vertical = p.vertical;
    // Symbol-font bytes are already turned into Unicode: any font shows them.
    if (const Font *font = tables_.font(p.font);
        font && !font->name.empty() && font->codePage != symbolCodePage)
        f.family = font->name;
    const auto color = [this](int index) {
        return index > 0 && index < std::ssize(tables_.colors) ? tables_.colors[std::size_t(index)]
                                                               : std::nullopt;
    };
    f.foreground = color(p.foreground);
    f.background = color(p.background);
    return f;
}

int FormatCache::blockFormat(const ParaProps &p)
{
    const auto [it, added] = blockIds_.try_emplace(p, int(formats_.blocks.size()));
    if (added) {
        BlockFormat b;
        b.alignment = p.alignment;
        b.leftMargin = pixels(p.leftTwips);
        b.rightMargin = pixels(p.rightTwips);
        b.textIndent = pixels(p.firstTwips);
        b.topMargin = pixels(p.beforeTwips);
        b.bottomMargin = pixels(p.afterTwips);
        if (p.firstTwips < 0 && p.leftTwips > 0)
            b.tabPosition = pixels(p.leftTwips);
        formats_.blocks.push_back(b);
    }
    return it->second;
}

} // namespace lodrix::rtf
