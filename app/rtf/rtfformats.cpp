#include "app/rtf/rtfformats.h"

#include <QFont>

namespace lodrix::rtf {

namespace {

qreal pixels(int twips)
{
    return qreal(twips) / twipsPerPixel;
}

} // namespace

const Font *Tables::font(int index) const
{
    const auto it = fonts.constFind(index < 0 ? defaultFont : index);
    return it == fonts.constEnd() ? nullptr : &*it;
}

Qt::Alignment qtAlignment(Alignment a)
{
    switch (a) {
    case Alignment::Center:
        return Qt::AlignHCenter;
    case Alignment::Right:
        return Qt::AlignRight;
    case Alignment::Justify:
        return Qt::AlignJustify;
    case Alignment::Left:
        break;
    }
    return Qt::AlignLeft;
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

QTextCharFormat FormatCache::convert(const CharProps &p) const
{
    QTextCharFormat f;
    f.setFontPointSize(p.sizeHalfPoints / 2.0);
    if (p.bold)
        f.setFontWeight(QFont::Bold);
    if (p.italic)
        f.setFontItalic(true);
    if (p.underline)
        f.setFontUnderline(true);
    if (p.strike)
        f.setFontStrikeOut(true);
    if (p.smallCaps)
        f.setFontCapitalization(QFont::SmallCaps);
    if (p.allCaps)
        f.setFontCapitalization(QFont::AllUppercase);
    if (p.vertical != Vertical::Baseline)
        f.setVerticalAlignment(p.vertical == Vertical::Super ? QTextCharFormat::AlignSuperScript
                                                             : QTextCharFormat::AlignSubScript);
    // Symbol-font bytes are already turned into Unicode: any font shows them.
    if (const Font *font = tables_.font(p.font);
        font && !font->name.isEmpty() && font->codePage != symbolCodePage)
        f.setFontFamilies({font->name});
    const auto color = [this](int index) {
        return index > 0 && index < std::ssize(tables_.colors) ? tables_.colors[index] : QColor();
    };
    if (const QColor c = color(p.foreground); c.isValid())
        f.setForeground(c);
    if (const QColor c = color(p.background); c.isValid())
        f.setBackground(c);
    return f;
}

int FormatCache::blockFormat(const ParaProps &p)
{
    const auto [it, added] = blockIds_.try_emplace(p, int(formats_.blocks.size()));
    if (added) {
        QTextBlockFormat b;
        b.setAlignment(qtAlignment(p.alignment));
        b.setLeftMargin(pixels(p.leftTwips));
        b.setRightMargin(pixels(p.rightTwips));
        b.setTextIndent(pixels(p.firstTwips));
        b.setTopMargin(pixels(p.beforeTwips));
        b.setBottomMargin(pixels(p.afterTwips));
        // A hanging first line holds a list label and a tab: the tab lands
        // where the other lines start.
        if (p.firstTwips < 0 && p.leftTwips > 0)
            b.setTabPositions({QTextOption::Tab(pixels(p.leftTwips), QTextOption::LeftTab)});
        formats_.blocks.push_back(b);
    }
    return it->second;
}

} // namespace lodrix::rtf
