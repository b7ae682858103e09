#pragma once
// Splits RTF bytes into groups, control words, control symbols, hex bytes and
// text runs. It never allocates and never looks back, so any input is read in
// one linear pass; parameters saturate at the 32-bit range and a truncated
// escape at the end of the data is dropped.

#include <cstddef>
#include <string_view>

#include <cstdint>

namespace lodrix::rtf {

enum class TokenKind {
    End,
    GroupOpen,
    GroupClose,
    Word,   // \name or \nameN; name and parameter below
    Symbol, // \x for a non-letter x
    Hex,    // \'hh
    Text,   // a run of plain bytes, line ends removed
    Binary, // the data of \binN, already skipped
};

struct Token {
    TokenKind kind = TokenKind::End;
    std::string_view text; // the word's name, the text run or the binary data
    std::int32_t param = 0;
    bool hasParam = false;
    char symbol = 0;        // Symbol
    unsigned char byte = 0; // Hex
};

class Tokenizer {
public:
    explicit Tokenizer(std::string_view data) : data_(data) {}

    Token next();
    // Consumes the rest of the current group, its closing brace included, as
    // the reader does for a destination it ignores. Returns false when the data
    // ends first.
    bool skipGroup();
    std::size_t position() const { return pos_; }

private:
    Token controlWord();
    Token controlSymbol();
    Token textRun();

    std::string_view data_;
    std::size_t pos_ = 0;
};

} // namespace lodrix::rtf
