#include "json/text_case.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

namespace json {
namespace {

struct CaseRun {
    char16_t first;
    char16_t last;
    std::int32_t delta;
    std::int32_t stride;
};

#include "json/case_tables.inc"

template <std::size_t N>
char16_t mapUnit(const CaseRun (&runs)[N], char16_t unit) noexcept
{
    const auto* run = std::upper_bound(std::begin(runs), std::end(runs), unit,
                                       [](char16_t u, const CaseRun& r) { return u < r.first; });
    if (run == std::begin(runs)) {
        return unit;
    }
    --run;
    if (unit > run->last || (unit - run->first) % run->stride != 0) {
        return unit;
    }
    return static_cast<char16_t>(unit + run->delta);
}

template <class MapUnit>
std::u16string mapText(std::u16string_view text, MapUnit map)
{
    std::u16string out(text);
    std::transform(out.begin(), out.end(), out.begin(), map);
    return out;
}

} // namespace

char16_t toLowerUnit(char16_t unit) noexcept
{
    if (unit < 0x80) {
        return (unit >= u'A' && unit <= u'Z') ? static_cast<char16_t>(unit + 32) : unit;
    }
    return mapUnit(kLowerRuns, unit);
}

char16_t toUpperUnit(char16_t unit) noexcept
{
    if (unit < 0x80) {
        return (unit >= u'a' && unit <= u'z') ? static_cast<char16_t>(unit - 32) : unit;
    }
    return mapUnit(kUpperRuns, unit);
}

std::u16string toLower(std::u16string_view text)
{
    return mapText(text, toLowerUnit);
}

std::u16string toUpper(std::u16string_view text)
{
    return mapText(text, toUpperUnit);
}

} // namespace json
