#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qm {

// JSON text written in the order its parts are given, so an object keeps its keys in the order
// a reader expects them. On one line: {"a": 1, "b": [1, 2]}; indented: four spaces a level, one
// member or element a line, as the program's other JSON output.
class JsonWriter {
public:
    enum class Layout { Line, Indented };
    explicit JsonWriter(Layout layout = Layout::Line) : layout_(layout) {}

    JsonWriter& BeginObject();
    JsonWriter& EndObject();
    JsonWriter& BeginArray();
    JsonWriter& EndArray();
    // The key of the next value of the object open.
    JsonWriter& Key(std::string_view key);

    JsonWriter& String(std::string_view text);
    // The shortest text that reads back as the same number (5.3, not 5.2999999999999998);
    // null for nothing, infinity or NaN.
    JsonWriter& Number(std::optional<double> value);
    JsonWriter& Integer(std::int64_t value);
    JsonWriter& Bool(bool value);
    JsonWriter& Null();
    JsonWriter& OptionalString(const std::optional<std::string>& text);

    // The text; every object and array must have been closed.
    std::string Take() &&;

private:
    void BeforeValue();
    void NewLine();

    struct Level {
        bool object = false;
        std::size_t members = 0;
    };
    Layout layout_;
    std::string out_;
    std::vector<Level> open_;
    bool afterKey_ = false;
};

// A JSON string: quotes, backslashes and control characters escaped, everything else (UTF-8
// included) as it is.
void AppendJsonString(std::string& out, std::string_view text);

}  // namespace qm
