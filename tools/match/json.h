// The little JSON the manager needs: a writer for its summary and a reader for merging summaries.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace Match::Json {

// A string with JSON quoting and escapes.
std::string quote(std::string_view s);
// A number; infinities and NaN (an Elo of a clean sweep) become null.
std::string number(double v);

struct Value {
  enum class Kind { Null, Bool, Number, String, Array, Object } kind = Kind::Null;
  bool boolean = false;
  double num = 0;
  std::string str;
  std::vector<Value> items;
  std::map<std::string, Value> fields;

  // The field, or a null value when this is no object or has no such field.
  const Value& operator[](const std::string& key) const;
  bool isNumber() const { return kind == Kind::Number; }
};

// Parses a whole document; false with a message naming the byte offset on bad input.
bool parse(std::string_view text, Value& out, std::string& error);

}  // namespace Match::Json
