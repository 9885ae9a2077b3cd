#pragma once

// A small, forgiving XML reader: enough for subtitle files (TTML) without a library.
// Names lose their namespace prefix ("ttm:title" is "title", "xml:id" is "id"); the
// five predefined and numeric character references are decoded, CDATA sections kept as
// text; comments, processing instructions and the document type are skipped. Damage
// never stops it: an unclosed element ends with the text, a stray end tag is ignored.

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace lirotag {

struct XmlNode {
  std::string name;                                             // local name; empty for a text node
  std::string text;                                             // a text node's characters
  std::vector<std::pair<std::string, std::string>> attributes;  // local names
  std::vector<XmlNode> children;

  bool IsText() const { return name.empty(); }
  // The attribute's value, or nullptr.
  const std::string* Attribute(std::string_view local) const;
  // The concatenated text of every text node below.
  std::string AllText() const;
};

// Character references ("&amp;", "&#x4E00;" …) decoded; one not understood stays as written.
std::string DecodeXmlReferences(std::string_view text);

// The document's root element: a node named "" holding the top-level nodes.
XmlNode ParseXml(std::string_view text);

}  // namespace lirotag
