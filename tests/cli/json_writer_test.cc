#include "cli/json_writer.h"

#include <gtest/gtest.h>

#include "json_value.h"

namespace zoqcli {
namespace {

TEST(JsonWriter, EscapesWhatJsonRequiresAndKeepsUtf8) {
  EXPECT_EQ(JsonQuote("a\"b\\c\n\x01"), "\"a\\\"b\\\\c\\n\\u0001\"");
  EXPECT_EQ(JsonQuote("\xE4\xB8\xAD/\xF0\x9F\x98\x80"), "\"\xE4\xB8\xAD/\xF0\x9F\x98\x80\"");
}

TEST(JsonWriter, PutsTopLevelElementsOnTheirOwnLines) {
  JsonWriter json(1);
  json.BeginArray();
  for (int i = 0; i < 2; ++i) {
    json.BeginObject();
    json.Key("n");
    json.Int(i);
    json.Key("list");
    json.BeginArray();
    json.EndArray();
    json.EndObject();
  }
  json.EndArray();
  EXPECT_EQ(json.text(), "[\n  {\"n\":0,\"list\":[]},\n  {\"n\":1,\"list\":[]}\n]");
  JsonWriter empty(1);
  empty.BeginArray();
  empty.EndArray();
  EXPECT_EQ(empty.text(), "[]");
}

TEST(JsonWriter, WritesWhatAReaderParsesBack) {
  JsonWriter json;
  json.BeginObject();
  json.Key("path");
  json.String("/a \"b\".txt");
  json.Key("size");
  json.Int(-5);
  json.Key("ok");
  json.Bool(true);
  json.Key("none");
  json.Null();
  json.EndObject();
  zoq::test::JsonValue value = zoq::test::JsonValue::Parse(json.text());
  EXPECT_EQ(value["path"].AsString(), "/a \"b\".txt");
  EXPECT_EQ(value["size"].AsInt(), -5);
  EXPECT_TRUE(value["ok"].AsBool());
  EXPECT_TRUE(value["none"].IsNull());
}

}  // namespace
}  // namespace zoqcli
