#include "store/JsonWriter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace qm::test {
namespace {

void Sample(JsonWriter& w) {
    w.BeginObject();
    w.Key("name").String("Скважина \"7\"\\\n\x01");
    w.Key("list").BeginArray().Integer(-3).Number(0.1 + 0.2).Number(-0.0).EndArray();
    w.Key("none").BeginArray().EndArray();
    w.Key("inner").BeginObject().Key("ok").Bool(true).Key("x").Number(std::nan("")).EndObject();
    w.Key("empty").BeginObject().EndObject();
    w.Key("gone").OptionalString(std::nullopt);
    w.EndObject();
}

TEST(JsonWriter, WritesKeysInOrderOnOneLineOrIndented) {
    JsonWriter line;
    Sample(line);
    EXPECT_EQ(std::move(line).Take(),
              "{\"name\": \"Скважина \\\"7\\\"\\\\\\n\\u0001\", \"list\": [-3, "
              "0.30000000000000004, 0], \"none\": [], \"inner\": {\"ok\": true, \"x\": null}, "
              "\"empty\": {}, \"gone\": null}");

    JsonWriter indented(JsonWriter::Layout::Indented);
    Sample(indented);
    EXPECT_EQ(std::move(indented).Take(),
              "{\n"
              "    \"name\": \"Скважина \\\"7\\\"\\\\\\n\\u0001\",\n"
              "    \"list\": [\n"
              "        -3,\n"
              "        0.30000000000000004,\n"
              "        0\n"
              "    ],\n"
              "    \"none\": [],\n"
              "    \"inner\": {\n"
              "        \"ok\": true,\n"
              "        \"x\": null\n"
              "    },\n"
              "    \"empty\": {},\n"
              "    \"gone\": null\n"
              "}");
}

TEST(JsonWriter, ValuesAtTheTopAndInfinityAsNull) {
    JsonWriter w;
    w.BeginArray().Number(std::numeric_limits<double>::infinity()).Number(1e-7).EndArray();
    EXPECT_EQ(std::move(w).Take(), "[null, 1e-07]");
}

}  // namespace
}  // namespace qm::test
