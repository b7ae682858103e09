#include "rtf/tokenizer.h"

#include <algorithm>
#include <limits>

namespace lodrix::rtf {

namespace {

bool isLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

int hexValue(char c)
{
    if (isDigit(c))
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool endsText(char c)
{
    return c == '\\' || c == '{' || c == '}' || c == '\r' || c == '\n';
}

Token token(TokenKind kind, std::string_view text = {})
{
    Token t;
    t.kind = kind;
    t.text = text;
    return t;
}

} // namespace

Token Tokenizer::next()
{
    while (pos_ < data_.size()) {
        const char c = data_[pos_];
        switch (c) {
        case '{':
            ++pos_;
            return token(TokenKind::GroupOpen);
        case '}':
            ++pos_;
            return token(TokenKind::GroupClose);
        case '\r':
        case '\n':
            ++pos_; // line ends only make the file readable
            continue;
        case '\\':
            if (pos_ + 1 >= data_.size()) {
                pos_ = data_.size();
                return token(TokenKind::End);
            }
            if (isLetter(data_[pos_ + 1]))
                return controlWord();
            return controlSymbol();
        default:
            return textRun();
        }
    }
    return token(TokenKind::End);
}

Token Tokenizer::controlWord()
{
    const std::size_t start = ++pos_;
    while (pos_ < data_.size() && isLetter(data_[pos_]))
        ++pos_;
    Token t = token(TokenKind::Word, data_.substr(start, pos_ - start));

    const bool negative = pos_ + 1 < data_.size() && data_[pos_] == '-' && isDigit(data_[pos_ + 1]);
    if (negative)
        ++pos_;
    if (pos_ < data_.size() && isDigit(data_[pos_])) {
        // Saturate instead of overflowing: a parameter of a thousand digits is
        // as good as the largest one.
        constexpr std::int64_t limit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
        std::int64_t value = 0;
        while (pos_ < data_.size() && isDigit(data_[pos_])) {
            value = std::min(limit, value * 10 + (data_[pos_] - '0'));
            ++pos_;
        }
        value = negative ? -value : std::min(value, limit - 1);
        t.param = static_cast<std::int32_t>(value);
        t.hasParam = true;
    }
    if (pos_ < data_.size() && data_[pos_] == ' ')
        ++pos_; // the delimiter belongs to the word

    if (t.text == "bin") {
        const std::size_t wanted = t.hasParam ? std::size_t(std::max<std::int32_t>(t.param, 0)) : 0;
        const std::size_t length = std::min(wanted, data_.size() - pos_);
        t = token(TokenKind::Binary, data_.substr(pos_, length));
        pos_ += length;
    }
    return t;
}

Token Tokenizer::controlSymbol()
{
    const char c = data_[pos_ + 1];
    pos_ += 2;
    if (c == '\r' || c == '\n')
        return token(TokenKind::Word, "par"); // a backslash ending a line breaks the paragraph
    Token t = token(TokenKind::Symbol);
    t.symbol = c;
    if (c != '\'')
        return t;
    const int high = pos_ < data_.size() ? hexValue(data_[pos_]) : -1;
    const int low = pos_ + 1 < data_.size() ? hexValue(data_[pos_ + 1]) : -1;
    if (high < 0 || low < 0)
        return t; // a broken escape stands for nothing
    pos_ += 2;
    t.kind = TokenKind::Hex;
    t.byte = static_cast<unsigned char>(high * 16 + low);
    return t;
}

Token Tokenizer::textRun()
{
    const std::size_t start = pos_;
    while (pos_ < data_.size() && !endsText(data_[pos_]))
        ++pos_;
    return token(TokenKind::Text, data_.substr(start, pos_ - start));
}

bool Tokenizer::skipGroup()
{
    std::size_t depth = 1; // counted, never stacked: any nesting costs nothing
    for (;;) {
        switch (next().kind) {
        case TokenKind::End:
            return false;
        case TokenKind::GroupOpen:
            ++depth;
            break;
        case TokenKind::GroupClose:
            if (--depth == 0)
                return true;
            break;
        default:
            break;
        }
    }
}

} // namespace lodrix::rtf
