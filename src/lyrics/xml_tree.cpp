#include "lyrics/xml_tree.h"

#include <cstdint>

namespace lirotag {

namespace {

// Deeper nesting is flattened into the deepest element kept: no real file comes close,
// and a hostile one cannot exhaust the stack of the code that walks the tree.
constexpr size_t kMaxDepth = 128;

std::string_view LocalName(std::string_view name) {
  const size_t colon = name.rfind(':');
  return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

void AppendUtf8(char32_t c, std::string* out) {
  if (c == 0 || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = 0xFFFD;
  if (c < 0x80) {
    *out += static_cast<char>(c);
  } else if (c < 0x800) {
    *out += static_cast<char>(0xC0 | (c >> 6));
    *out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    *out += static_cast<char>(0xE0 | (c >> 12));
    *out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    *out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    *out += static_cast<char>(0xF0 | (c >> 18));
    *out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    *out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    *out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

}  // namespace

std::string DecodeXmlReferences(std::string_view raw) {
  std::string out;
  for (size_t i = 0; i < raw.size();) {
    const size_t semi = raw[i] == '&' ? raw.find(';', i) : std::string_view::npos;
    if (semi == std::string_view::npos || semi - i > 12) {
      out += raw[i++];
      continue;
    }
    const std::string_view name = raw.substr(i + 1, semi - i - 1);
    static constexpr std::pair<std::string_view, std::string_view> kNamed[] = {
        {"lt", "<"},    {"gt", ">"},   {"amp", "&"},
        {"quot", "\""}, {"apos", "'"}, {"nbsp", "\xC2\xA0"}};
    bool done = false;
    for (const auto& [n, v] : kNamed) {
      if (name == n) {
        out += v;
        done = true;
      }
    }
    if (!done && name.size() > 1 && name[0] == '#') {
      const bool hex = name[1] == 'x' || name[1] == 'X';
      uint32_t value = 0;
      bool digits = name.size() > (hex ? 2u : 1u);
      for (char c : name.substr(hex ? 2 : 1)) {
        int d = c >= '0' && c <= '9'          ? c - '0'
                : hex && c >= 'a' && c <= 'f' ? c - 'a' + 10
                : hex && c >= 'A' && c <= 'F' ? c - 'A' + 10
                                              : -1;
        if (d < 0 || value > 0x10FFFF) digits = false;
        if (!digits) break;
        value = value * (hex ? 16 : 10) + static_cast<uint32_t>(d);
      }
      if (digits) {
        AppendUtf8(value, &out);
        done = true;
      }
    }
    if (done) {
      i = semi + 1;
    } else {
      out += raw[i++];
    }
  }
  return out;
}

namespace {

std::string Decode(std::string_view raw) {
  return DecodeXmlReferences(raw);
}

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

}  // namespace

const std::string* XmlNode::Attribute(std::string_view local) const {
  for (const auto& [n, v] : attributes) {
    if (n == local) return &v;
  }
  return nullptr;
}

std::string XmlNode::AllText() const {
  if (IsText()) return text;
  std::string out;
  for (const XmlNode& child : children) out += child.AllText();
  return out;
}

XmlNode ParseXml(std::string_view s) {
  XmlNode document;
  std::vector<XmlNode*> open{&document};
  const auto addText = [&](std::string text) {
    if (text.empty()) return;
    std::vector<XmlNode>& siblings = open.back()->children;
    if (!siblings.empty() && siblings.back().IsText()) {
      siblings.back().text += text;
    } else {
      XmlNode node;
      node.text = std::move(text);
      siblings.push_back(std::move(node));
    }
  };
  size_t i = 0;
  while (i < s.size()) {
    if (s[i] != '<') {
      const size_t lt = s.find('<', i);
      const size_t end = lt == std::string_view::npos ? s.size() : lt;
      addText(Decode(s.substr(i, end - i)));
      i = end;
      continue;
    }
    const std::string_view rest = s.substr(i);
    if (rest.substr(0, 4) == "<!--") {
      const size_t end = s.find("-->", i + 4);
      i = end == std::string_view::npos ? s.size() : end + 3;
    } else if (rest.substr(0, 9) == "<![CDATA[") {
      const size_t end = s.find("]]>", i + 9);
      const size_t stop = end == std::string_view::npos ? s.size() : end;
      addText(std::string(s.substr(i + 9, stop - i - 9)));
      i = end == std::string_view::npos ? s.size() : end + 3;
    } else if (rest.substr(0, 2) == "<?" || rest.substr(0, 2) == "<!") {
      // A document type may hold an internal subset in brackets.
      size_t j = i + 2;
      int brackets = 0;
      while (j < s.size() && (s[j] != '>' || brackets > 0)) {
        if (s[j] == '[') ++brackets;
        if (s[j] == ']' && brackets > 0) --brackets;
        ++j;
      }
      i = j + 1;
    } else if (rest.substr(0, 2) == "</") {
      const size_t gt = s.find('>', i);
      const size_t stop = gt == std::string_view::npos ? s.size() : gt;
      std::string_view name = s.substr(i + 2, stop - i - 2);
      while (!name.empty() && IsSpace(name.back())) name.remove_suffix(1);
      name = LocalName(name);
      // Close up to the matching element; a stray end tag closes nothing.
      for (size_t d = open.size(); d-- > 1;) {
        if (open[d]->name == name) {
          open.resize(d);
          break;
        }
      }
      i = stop + 1;
    } else {
      size_t j = i + 1;
      while (j < s.size() && !IsSpace(s[j]) && s[j] != '>' && s[j] != '/') ++j;
      XmlNode node;
      node.name = std::string(LocalName(s.substr(i + 1, j - i - 1)));
      if (node.name.empty()) {  // "<" that opens nothing: text
        addText("<");
        ++i;
        continue;
      }
      bool selfClosing = false;
      while (j < s.size() && s[j] != '>') {
        if (IsSpace(s[j])) {
          ++j;
        } else if (s[j] == '/') {
          selfClosing = true;
          ++j;
        } else {
          size_t k = j;
          while (k < s.size() && !IsSpace(s[k]) && s[k] != '=' && s[k] != '>' && s[k] != '/') ++k;
          std::string name(LocalName(s.substr(j, k - j)));
          while (k < s.size() && IsSpace(s[k])) ++k;
          std::string value;
          if (k < s.size() && s[k] == '=') {
            ++k;
            while (k < s.size() && IsSpace(s[k])) ++k;
            if (k < s.size() && (s[k] == '"' || s[k] == '\'')) {
              const size_t close = s.find(s[k], k + 1);
              const size_t stop = close == std::string_view::npos ? s.size() : close;
              value = Decode(s.substr(k + 1, stop - k - 1));
              k = stop + 1;
            } else {
              const size_t from = k;
              while (k < s.size() && !IsSpace(s[k]) && s[k] != '>') ++k;
              value = Decode(s.substr(from, k - from));
            }
          }
          if (k == j) ++k;  // no progress: skip the odd byte
          selfClosing = false;
          node.attributes.emplace_back(std::move(name), std::move(value));
          j = k;
        }
      }
      i = j + 1;
      XmlNode* parent = open.back();
      parent->children.push_back(std::move(node));
      if (!selfClosing && open.size() < kMaxDepth) open.push_back(&parent->children.back());
    }
  }
  return document;
}

}  // namespace lirotag
