// JSON writing and reading for the summaries.
#include "tools/match/json.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace Match::Json {

std::string quote(std::string_view s) {
  std::string out = "\"";
  for (unsigned char c : s) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\t': out += "\\t"; break;
      case '\r': out += "\\r"; break;
      default:
        if (c < 0x20) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", c);
          out += buf;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

std::string number(double v) {
  if (!std::isfinite(v)) return "null";
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.17g", v);
  return buf;
}

const Value& Value::operator[](const std::string& key) const {
  static const Value kNull;
  auto it = fields.find(key);
  return it == fields.end() ? kNull : it->second;
}

namespace {

class Parser {
 public:
  explicit Parser(std::string_view t) : t_(t) {}

  bool document(Value& v, std::string& error) {
    if (!value(v, 0) || (skip(), pos_ != t_.size())) {
      error = "bad JSON at byte " + std::to_string(pos_);
      return false;
    }
    return true;
  }

 private:
  void skip() {
    while (pos_ < t_.size() && (t_[pos_] == ' ' || t_[pos_] == '\n' || t_[pos_] == '\t' || t_[pos_] == '\r'))
      ++pos_;
  }
  bool literal(std::string_view word) {
    if (t_.substr(pos_, word.size()) != word) return false;
    pos_ += word.size();
    return true;
  }
  bool string(std::string& out) {
    if (pos_ >= t_.size() || t_[pos_] != '"') return false;
    ++pos_;
    while (pos_ < t_.size() && t_[pos_] != '"') {
      char c = t_[pos_++];
      if (c != '\\') {
        out += c;
        continue;
      }
      if (pos_ >= t_.size()) return false;
      c = t_[pos_++];
      switch (c) {
        case 'n': out += '\n'; break;
        case 't': out += '\t'; break;
        case 'r': out += '\r'; break;
        case 'b': out += '\b'; break;
        case 'f': out += '\f'; break;
        case 'u': {
          if (pos_ + 4 > t_.size()) return false;
          const unsigned code = static_cast<unsigned>(std::strtoul(std::string(t_.substr(pos_, 4)).c_str(), nullptr, 16));
          pos_ += 4;
          // The writer escapes control characters only; others are kept as UTF-8.
          if (code < 0x80) {
            out += static_cast<char>(code);
          } else if (code < 0x800) {
            out += static_cast<char>(0xC0 | (code >> 6));
            out += static_cast<char>(0x80 | (code & 0x3F));
          } else {
            out += static_cast<char>(0xE0 | (code >> 12));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
          }
          break;
        }
        default: out += c;
      }
    }
    if (pos_ >= t_.size()) return false;
    ++pos_;
    return true;
  }
  bool value(Value& v, int depth) {
    if (depth > 64) return false;
    skip();
    if (pos_ >= t_.size()) return false;
    const char c = t_[pos_];
    if (c == '{') {
      v.kind = Value::Kind::Object;
      ++pos_;
      skip();
      if (pos_ < t_.size() && t_[pos_] == '}') return ++pos_, true;
      for (;;) {
        skip();
        std::string key;
        if (!string(key)) return false;
        skip();
        if (pos_ >= t_.size() || t_[pos_++] != ':') return false;
        if (!value(v.fields[key], depth + 1)) return false;
        skip();
        if (pos_ >= t_.size()) return false;
        if (t_[pos_] == ',') {
          ++pos_;
          continue;
        }
        return t_[pos_++] == '}';
      }
    }
    if (c == '[') {
      v.kind = Value::Kind::Array;
      ++pos_;
      skip();
      if (pos_ < t_.size() && t_[pos_] == ']') return ++pos_, true;
      for (;;) {
        v.items.emplace_back();
        if (!value(v.items.back(), depth + 1)) return false;
        skip();
        if (pos_ >= t_.size()) return false;
        if (t_[pos_] == ',') {
          ++pos_;
          continue;
        }
        return t_[pos_++] == ']';
      }
    }
    if (c == '"') {
      v.kind = Value::Kind::String;
      return string(v.str);
    }
    if (literal("true")) return v.kind = Value::Kind::Bool, v.boolean = true, true;
    if (literal("false")) return v.kind = Value::Kind::Bool, true;
    if (literal("null")) return v.kind = Value::Kind::Null, true;
    const std::string rest(t_.substr(pos_, 40));
    char* end = nullptr;
    v.num = std::strtod(rest.c_str(), &end);
    if (end == rest.c_str()) return false;
    v.kind = Value::Kind::Number;
    pos_ += static_cast<std::size_t>(end - rest.c_str());
    return true;
  }

  std::string_view t_;
  std::size_t pos_ = 0;
};

}  // namespace

bool parse(std::string_view text, Value& out, std::string& error) {
  out = Value{};
  return Parser(text).document(out, error);
}

}  // namespace Match::Json
