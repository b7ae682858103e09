#include "catalogue.h"

#include <algorithm>

namespace lodrix {

namespace {

constexpr std::string_view sourceCode = "fr";
constexpr std::string_view sourceDecimalSeparator = ",";

} // namespace

std::optional<Language> Language::named(std::string_view code)
{
    if (code == sourceCode)
        return Language();
    for (const CatalogueTable &t : catalogueTables) {
        if (t.language == code)
            return Language(&t);
    }
    return std::nullopt;
}

std::vector<std::string_view> Language::codes()
{
    std::vector<std::string_view> all{sourceCode};
    for (const CatalogueTable &t : catalogueTables)
        all.push_back(t.language);
    return all;
}

std::string_view Language::code() const
{
    return table_ ? table_->language : sourceCode;
}

std::string_view Language::decimalSeparator() const
{
    return table_ ? table_->decimalSeparator : sourceDecimalSeparator;
}

const CatalogueEntry *Language::find(std::string_view french) const
{
    if (!table_)
        return nullptr;
    const auto entries = table_->entries;
    const auto it =
        std::lower_bound(entries.begin(), entries.end(), french,
                         [](const CatalogueEntry &e, std::string_view s) { return e.source < s; });
    return it != entries.end() && it->source == french ? &*it : nullptr;
}

std::string_view Language::tr(std::string_view french) const
{
    const CatalogueEntry *e = find(french);
    return e ? e->translation : french;
}

bool Language::translates(std::string_view french) const
{
    return find(french) != nullptr;
}

std::string Language::format(std::string_view frenchPattern,
                             std::initializer_list<std::string_view> values) const
{
    return fillPattern(tr(frenchPattern), values);
}

std::string fillPattern(std::string_view pattern, std::initializer_list<std::string_view> values)
{
    std::string out;
    out.reserve(pattern.size() + 16 * values.size());
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char next = i + 1 < pattern.size() ? pattern[i + 1] : '\0';
        if (pattern[i] == '%' && next >= '1' && next <= '9' && std::size_t(next - '1') < values.size()) {
            out += values.begin()[next - '1'];
            ++i;
        } else {
            out += pattern[i];
        }
    }
    return out;
}

} // namespace lodrix
