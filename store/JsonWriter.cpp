#include "store/JsonWriter.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <iterator>

namespace qm {

void AppendJsonString(std::string& out, std::string_view text) {
    out += '"';
    for (const char ch : text) {
        switch (ch) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (static_cast<unsigned char>(ch) < 0x20 || ch == 0x7F) {
                    char esc[8];
                    std::snprintf(esc, sizeof esc, "\\u%04x", static_cast<unsigned char>(ch));
                    out += esc;
                } else {
                    out += ch;
                }
        }
    }
    out += '"';
}

void JsonWriter::NewLine() {
    out_ += '\n';
    out_.append(open_.size() * 4, ' ');
}

void JsonWriter::BeforeValue() {
    if (afterKey_) {
        afterKey_ = false;
        return;
    }
    if (open_.empty()) return;
    Level& level = open_.back();
    if (level.members++ > 0) out_ += layout_ == Layout::Line ? ", " : ",";
    if (layout_ == Layout::Indented) NewLine();
}

JsonWriter& JsonWriter::BeginObject() {
    BeforeValue();
    out_ += '{';
    open_.push_back({true, 0});
    return *this;
}

JsonWriter& JsonWriter::BeginArray() {
    BeforeValue();
    out_ += '[';
    open_.push_back({false, 0});
    return *this;
}

JsonWriter& JsonWriter::EndObject() {
    const bool any = !open_.empty() && open_.back().members > 0;
    if (!open_.empty()) open_.pop_back();
    if (layout_ == Layout::Indented && any) NewLine();
    out_ += '}';
    return *this;
}

JsonWriter& JsonWriter::EndArray() {
    const bool any = !open_.empty() && open_.back().members > 0;
    if (!open_.empty()) open_.pop_back();
    if (layout_ == Layout::Indented && any) NewLine();
    out_ += ']';
    return *this;
}

JsonWriter& JsonWriter::Key(std::string_view key) {
    BeforeValue();
    AppendJsonString(out_, key);
    out_ += ": ";
    afterKey_ = true;
    return *this;
}

JsonWriter& JsonWriter::String(std::string_view text) {
    BeforeValue();
    AppendJsonString(out_, text);
    return *this;
}

JsonWriter& JsonWriter::Number(std::optional<double> value) {
    BeforeValue();
    if (!value || !std::isfinite(*value)) {
        out_ += "null";
        return *this;
    }
    char text[32];
    // -0 reads as 0 to a person; write it so.
    const double v = *value == 0.0 ? 0.0 : *value;
    const auto r = std::to_chars(std::begin(text), std::end(text), v);
    out_.append(text, r.ptr);
    return *this;
}

JsonWriter& JsonWriter::Integer(std::int64_t value) {
    BeforeValue();
    out_ += std::to_string(value);
    return *this;
}

JsonWriter& JsonWriter::Bool(bool value) {
    BeforeValue();
    out_ += value ? "true" : "false";
    return *this;
}

JsonWriter& JsonWriter::Null() {
    BeforeValue();
    out_ += "null";
    return *this;
}

JsonWriter& JsonWriter::OptionalString(const std::optional<std::string>& text) {
    return text ? String(*text) : Null();
}

std::string JsonWriter::Take() && {
    return std::move(out_);
}

}  // namespace qm
