// An XML element as plain data: what MSXML parsed, or what is about to be written.
//
// Texts are 8-bit in the ANSI code page, like every CString of the system. `text` is all
// character data directly inside the element (text and CDATA sections, concatenated in document
// order); comments and processing instructions are not kept. Attributes keep their document order.
#pragma once

#include "platform/framework/afx_string.h"

#include <memory>
#include <utility>
#include <vector>

struct XmlElement {
  CString name;
  std::vector<std::pair<CString, CString>> attributes;
  CString text;
  std::vector<std::unique_ptr<XmlElement>> children;

  XmlElement() = default;
  explicit XmlElement(const char* elementName) : name(elementName) {}

  // The value of the attribute, or null when the element has none of that name.
  const CString* FindAttribute(const char* attribute) const {
    for (const auto& a : attributes)
      if (a.first == attribute) return &a.second;
    return nullptr;
  }
  void AddAttribute(const char* attribute, const CString& value) { attributes.emplace_back(attribute, value); }
  XmlElement* AddChild(const char* elementName) {
    children.push_back(std::make_unique<XmlElement>(elementName));
    return children.back().get();
  }
};
