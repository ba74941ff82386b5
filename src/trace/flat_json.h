#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "result.h"

namespace qvt::trace {

// One value of a trace's line: every line is a flat JSON object of strings, whole numbers,
// booleans and nulls, which this reads at the pace a replay of thousands of lines needs.
struct FlatValue {
    enum class Type { kString, kNumber, kBool, kNull };
    Type type = Type::kNull;
    std::string text;          // kString, unescaped
    std::uint64_t number = 0;  // kNumber
    bool flag = false;         // kBool
};

struct FlatObject {
    std::vector<std::pair<std::string, FlatValue>> members;
    const FlatValue* Find(std::string_view key) const;
};

// `text` as an error quotes it: a name from a file may be as long as a line, an error is not.
std::string Quoted(std::string_view text);

// `line` as a flat object, or why not: anything else JSON allows (nesting, fractions, negative
// numbers, a key given twice) has no place in a trace.
Result<FlatObject> ParseFlatObject(std::string_view line);

}  // namespace qvt::trace
