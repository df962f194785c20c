#include "hosts/ocuvant/shell_tokens.h"

#include <cctype>

namespace ocuvant::host {

// Splits "call X a b {..}" arguments: "strings", {...}/[...] balanced, or bare words.
bool Tokenize(const std::string& text, std::vector<std::string>* tokens, std::string* error) {
  size_t i = 0;
  while (true) {
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    if (i >= text.size()) return true;
    const size_t start = i;
    if (text[i] == '"') {
      for (++i; i < text.size() && text[i] != '"'; ++i) {
        if (text[i] == '\\') ++i;
      }
      if (i >= text.size()) {
        *error = "unterminated string: " + text.substr(start);
        return false;
      }
      ++i;
    } else if (text[i] == '{' || text[i] == '[') {
      int depth = 0;
      bool inString = false;
      for (; i < text.size(); ++i) {
        const char c = text[i];
        if (inString) {
          if (c == '\\')
            ++i;
          else if (c == '"')
            inString = false;
        } else if (c == '"') {
          inString = true;
        } else if (c == '{' || c == '[') {
          ++depth;
        } else if ((c == '}' || c == ']') && --depth == 0) {
          break;
        }
      }
      if (i >= text.size()) {
        *error = "unbalanced argument: " + text.substr(start);
        return false;
      }
      ++i;
    } else {
      while (i < text.size() && !std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    }
    tokens->push_back(text.substr(start, i - start));
  }
}

}  // namespace ocuvant::host
