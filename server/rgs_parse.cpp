#include "rgs_parse.h"

namespace corv {
namespace {

bool is_space(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n'; }

class Lexer {
public:
  explicit Lexer(const std::wstring& s) : s_(s) {}

  // Next token: "{", "}", "=", a quoted text (returned with quoted=true), or a word.
  // A brace that is followed by anything but blank space starts a word such as {GUID}.
  bool next(std::wstring& tok, bool& quoted) {
    quoted = false;
    tok.clear();
    while (i_ < s_.size() && is_space(s_[i_])) ++i_;
    if (i_ >= s_.size()) return false;
    wchar_t c = s_[i_];
    if (c == L'}' || c == L'=') {
      tok.assign(1, c);
      ++i_;
      return true;
    }
    if (c == L'{' && (i_ + 1 >= s_.size() || is_space(s_[i_ + 1]))) {
      tok = L"{";
      ++i_;
      return true;
    }
    if (c == L'\'') {
      ++i_;
      for (;;) {
        if (i_ >= s_.size()) {
          bad_ = true;
          return false;
        }
        if (s_[i_] == L'\'') {
          if (i_ + 1 < s_.size() && s_[i_ + 1] == L'\'') {
            tok += L'\'';
            i_ += 2;
            continue;
          }
          ++i_;
          break;
        }
        tok += s_[i_++];
      }
      quoted = true;
      return true;
    }
    if (c == L'{') {  // {GUID}: up to and including the closing brace
      size_t end = s_.find(L'}', i_);
      if (end == std::wstring::npos) {
        bad_ = true;
        return false;
      }
      tok = s_.substr(i_, end + 1 - i_);
      i_ = end + 1;
      return true;
    }
    while (i_ < s_.size() && !is_space(s_[i_]) && s_[i_] != L'=' && s_[i_] != L'}' && s_[i_] != L'{' && s_[i_] != L'\'')
      tok += s_[i_++];
    return true;
  }
  bool bad() const { return bad_; }

private:
  const std::wstring& s_;
  size_t i_ = 0;
  bool bad_ = false;
};

class Parser {
public:
  explicit Parser(const std::wstring& s) : lex_(s) { advance(); }

  bool parse(std::vector<RgsNode>& roots, std::wstring* error) {
    while (have_) {
      RgsNode root;
      if (quoted_ || tok_ == L"{" || tok_ == L"}" || tok_ == L"=") return fail(error, L"root key expected");
      root.name = tok_;
      advance();
      if (!have_ || tok_ != L"{" || quoted_) return fail(error, L"'{' expected after root key");
      advance();
      if (!parse_body(root.children, error)) return false;
      roots.push_back(std::move(root));
    }
    if (lex_.bad()) return fail(error, L"unterminated text");
    return true;
  }

private:
  void advance() { have_ = lex_.next(tok_, quoted_); }

  static bool fail(std::wstring* error, const wchar_t* why) {
    if (error) *error = why;
    return false;
  }

  // Entries up to and including the closing brace.
  bool parse_body(std::vector<RgsNode>& out, std::wstring* error) {
    for (;;) {
      if (!have_) return fail(error, L"'}' expected");
      if (!quoted_ && tok_ == L"}") {
        advance();
        return true;
      }
      RgsNode node;
      for (;;) {
        if (!quoted_ && tok_ == L"ForceRemove") node.force_remove = true;
        else if (!quoted_ && tok_ == L"NoRemove") node.no_remove = true;
        else if (!quoted_ && tok_ == L"val") node.is_value = true;
        else break;
        advance();
        if (!have_) return fail(error, L"name expected");
      }
      if (!quoted_ && (tok_ == L"{" || tok_ == L"}" || tok_ == L"=")) return fail(error, L"name expected");
      node.name = tok_;
      advance();
      if (have_ && !quoted_ && tok_ == L"=") {
        advance();
        if (!have_ || quoted_ || (tok_ != L"s" && tok_ != L"d")) return fail(error, L"value type s or d expected");
        node.value.kind = tok_[0];
        advance();
        if (!have_ || !quoted_) return fail(error, L"quoted value expected");
        node.value.present = true;
        if (node.value.kind == L'd') {
          wchar_t* end = nullptr;
          std::wstring t = tok_;
          unsigned long v = std::wcstoul(t.c_str(), &end, 0);
          if (t.empty() || (end && *end)) return fail(error, L"bad number");
          node.value.number = static_cast<uint32_t>(v);
        } else {
          node.value.text = tok_;
        }
        advance();
      } else if (node.is_value) {
        return fail(error, L"'=' expected after val name");
      }
      if (!node.is_value && have_ && !quoted_ && tok_ == L"{") {
        advance();
        if (!parse_body(node.children, error)) return false;
      }
      out.push_back(std::move(node));
    }
  }

  Lexer lex_;
  std::wstring tok_;
  bool quoted_ = false;
  bool have_ = false;
};

}  // namespace

std::wstring rgs_substitute(const std::wstring& script, const std::wstring& name, const std::wstring& value) {
  std::wstring quoted;
  for (wchar_t c : value) {
    quoted += c;
    if (c == L'\'') quoted += L'\'';
  }
  std::wstring key = L"%" + name + L"%";
  std::wstring out;
  size_t pos = 0;
  for (;;) {
    size_t hit = script.find(key, pos);
    if (hit == std::wstring::npos) {
      out.append(script, pos, std::wstring::npos);
      break;
    }
    out.append(script, pos, hit - pos);
    out += quoted;
    pos = hit + key.size();
  }
  return out;
}

bool parse_rgs(const std::wstring& script, std::vector<RgsNode>& roots, std::wstring* error) {
  roots.clear();
  Parser p(script);
  return p.parse(roots, error);
}

}  // namespace corv
