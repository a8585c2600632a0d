// Reading and writing XML through MSXML 3.0: its SAX2 reader (SAXXMLReader30) parses straight
// into XmlElement, its writer (MXXMLWriter30) writes from it and does all escaping. Each call
// initialises COM for itself (see ComApartment) and holds no COM object afterwards, so any thread
// may call.
//
// Texts cross the boundary in the ANSI code page: MSXML sees UTF-16, converted with CP_ACP.
// Files are written in UTF-8 with an XML declaration and CR LF line ends, indented by two spaces
// per level (only elements that have child elements and no text of their own are indented, so
// text stays exact; a line feed in a text is written as CR LF and reads back as a line feed).
// Markup characters are escaped (&lt; &gt; &amp;, and &quot; in attributes); every other
// character, the non-ASCII ones included, is written as itself in UTF-8.
// Files are read with white space preserved.
#pragma once

#include "platform/framework/afx_string.h"
#include "platform/doctree/xml_element.h"

#include <memory>

// Parses the XML file at path. False, and root untouched, when the file cannot be opened or is
// not well-formed XML (an empty file included).
bool ReadXmlFile(const CString& path, std::unique_ptr<XmlElement>& root);

// Parses XML text. False, and root untouched, when it is not well-formed. The text is taken as
// characters: an encoding named in its declaration is not applied (but one that MSXML does not
// know at all, such as GB2312 in Wine's, makes the text unusable).
bool ParseXmlText(const CString& text, std::unique_ptr<XmlElement>& root);

// Writes root as the document at path. The new file is written beside the target first and then
// moved over it, so a failed write leaves whatever was at path unchanged. False on failure, and
// also, without writing anything, when the document holds what XML cannot carry back unchanged
// (see XmlCanCarry: control characters in a text other than tab and line feed, any control
// character in an attribute value) or a name that is no element or attribute name (empty, with
// white space or markup characters, beginning with a digit, "-" or ".").
bool WriteXmlFile(const CString& path, const XmlElement& root);

// Whether an XML file carries the text unchanged through a write and a read: it must be valid in
// the ANSI code page and come back from UTF-16 byte for byte, and hold no control character.
// Element text may hold tabs and line feeds; attribute values may not (parsers turn them into
// spaces unless the writer escapes them, and not every MSXML does). Carriage returns never pass:
// parsers turn CR LF into LF.
bool XmlCanCarry(const CString& text, bool inAttribute);
