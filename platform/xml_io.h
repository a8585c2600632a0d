// Reading and writing XML through MSXML 3.0 (DOMDocument30). Each call initialises COM for
// itself (see ComApartment) and holds no COM object afterwards, so any thread may call.
//
// Texts cross the boundary in the ANSI code page: MSXML sees UTF-16, converted with CP_ACP.
// Files are written in UTF-8 with an XML declaration and CR LF line ends, indented by two spaces
// per level (only elements that have child elements and no text of their own are indented, so
// text stays exact; a line feed in a text is written as CR LF and reads back as a line feed).
// Files are read with white space preserved.
#pragma once

#include "platform/afx_string.h"
#include "platform/xml_element.h"

#include <memory>

// Parses the XML file at path. False, and root untouched, when the file cannot be opened or is
// not well-formed XML (an empty file included).
bool ReadXmlFile(const CString& path, std::unique_ptr<XmlElement>& root);

// Parses XML text. False, and root untouched, when it is not well-formed.
bool ParseXmlText(const CString& text, std::unique_ptr<XmlElement>& root);

// Writes root as the document at path. The new file is written beside the target first and then
// moved over it, so a failed write leaves whatever was at path unchanged. False on failure.
bool WriteXmlFile(const CString& path, const XmlElement& root);

// Whether an XML file carries the text unchanged through a write and a read: it must be valid in
// the ANSI code page and come back from UTF-16 byte for byte, and hold no control character.
// Element text may hold tabs and line feeds; attribute values may not (parsers turn them into
// spaces unless the writer escapes them, and not every MSXML does). Carriage returns never pass:
// parsers turn CR LF into LF.
bool XmlCanCarry(const CString& text, bool inAttribute);
