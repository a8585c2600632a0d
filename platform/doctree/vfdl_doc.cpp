#include "platform/doctree/vfdl_doc.h"

#include "platform/doctree/xformat.h"
#include "platform/doctree/xml_io.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// Element and attribute names of the file (docs/document_format.md).
const char kRoot[] = "vfdl";
const char kFolder[] = "folder";
const char kRecord[] = "record";
const char kVar[] = "var";
const char kPage[] = "page";
const char kSubject[] = "subject";
const char kAbstract[] = "abstract";
const char kId[] = "id";
const char kAlias[] = "alias";
const char kName[] = "name";
const char kPath[] = "path";
const char kExtendType[] = "exttype";
const char kCreated[] = "created";
const char kUpdated[] = "updated";
const char kVersion[] = "version";
const char kNextId[] = "nextid";
const char kEncoding[] = "encoding";
const char kBase64[] = "base64";
const char kBase64Suffix[] = "-base64";

const char kEmptyDocument[] = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><vfdl version=\"1\"/>";

CString Encode(const CString& text) {
  return CXFormat::EncodeTextBase64(reinterpret_cast<const BYTE*>(text.c_str()), text.GetLength(), 0);
}

CString Decode(const CString& text) {
  std::vector<BYTE> bytes(text.GetLength() + 1);
  int count = static_cast<int>(bytes.size());
  if (!CXFormat::DecodeTextBase64(text, bytes.data(), count, -1, -1)) return CString();
  return CString(reinterpret_cast<const char*>(bytes.data()), count);
}

// A text attribute: plain when XML carries it unchanged, else as "<name>-base64".
void PutAttribute(XmlElement& e, const char* name, const CString& value) {
  if (value.IsEmpty()) return;
  if (XmlCanCarry(value, true))
    e.AddAttribute(name, value);
  else
    e.AddAttribute(CString(name) + kBase64Suffix, Encode(value));
}

// The value of attribute name, decoded when it is given as "<name>-base64" (which wins over the
// plain one). One pass over the attributes, nothing allocated for the lookup: it runs for every
// field of every node of a document that is loaded.
CString GetAttribute(const XmlElement& e, const char* name) {
  const size_t length = strlen(name);
  const CString* plain = nullptr;
  for (const auto& a : e.attributes) {
    const char* candidate = a.first.c_str();
    if (strncmp(candidate, name, length) != 0) continue;
    if (candidate[length] == '\0') {
      if (!plain) plain = &a.second;
    } else if (strcmp(candidate + length, kBase64Suffix) == 0) {
      return Decode(a.second);
    }
  }
  return plain ? *plain : CString();
}

// Element text: plain when XML carries it unchanged, else Base64 with encoding="base64".
void PutText(XmlElement& e, const CString& value) {
  if (XmlCanCarry(value, false)) {
    e.text = value;
  } else {
    e.text = Encode(value);
    e.AddAttribute(kEncoding, kBase64);
  }
}

CString GetText(const XmlElement& e) {
  const CString* encoding = e.FindAttribute(kEncoding);
  return encoding && encoding->CompareNoCase(kBase64) == 0 ? Decode(e.text) : e.text;
}

WORD ParseWord(const CString& text) {
  unsigned long value = strtoul(text, nullptr, 10);
  return static_cast<WORD>(value > 0xFFFF ? 0 : value);
}

// The highest number among the IDs of folder and record elements at or below e.
void ScanIDs(const XmlElement& e, unsigned long long& highest) {
  for (const auto& child : e.children) {
    if (child->name != kFolder && child->name != kRecord) continue;
    unsigned long long n = 0;
    const CString* id = child->FindAttribute(kId);
    if (id && vfpath::ParseNumericID(*id, n) && n > highest) highest = n;
    if (child->name == kFolder) ScanIDs(*child, highest);
  }
}

}  // namespace

CVFDLDoc::CVFDLDoc() = default;

CVFDLDoc::~CVFDLDoc() { ClearTree(); }

int CVFDLDoc::NewXMLDoc(const CString& path, const short&, const short&) {
  SetDocPath(path);
  if (!SetXMLDoc(kEmptyDocument)) return 0;
  return SaveXMLDoc(0);
}

void CVFDLDoc::PreUpdateVersion() {}

void CVFDLDoc::AfterUpdateVersion() {}

CVFDLFolder* CVFDLDoc::NewFolderPointer() { return new CVFDLFolder; }

void CVFDLDoc::DelFolderPointer(void* item) { delete static_cast<CVFDLFolder*>(item); }

int CVFDLDoc::InitExtendRecItem(CVFDLRec*, const XmlElement&) { return 1; }

CVFDLRec* CVFDLDoc::NewRecPointer() { return new CVFDLRec; }

void CVFDLDoc::DelRecPointer(void* item) { delete static_cast<CVFDLRec*>(item); }

int CVFDLDoc::CreateExtendRecText(const CVFDLRec*, XmlElement&) { return 1; }

int CVFDLDoc::DelLinkFile(CVFDLNode*) { return 1; }

void CVFDLDoc::DelData(CVFDLNode* node) {
  if (node->GetKind() == VFDL_KIND_REC)
    DelRecPointer(static_cast<CVFDLRec*>(node->GetData()));
  else
    DelFolderPointer(static_cast<CVFDLFolder*>(node->GetData()));
}

bool CVFDLDoc::AcceptContent(const XmlElement& root) const { return root.name == kRoot; }

void CVFDLDoc::OnContentReplaced() { ClearTree(); }

int CVFDLDoc::AutoSave() { return GetAutoSaveFlag() ? SaveXMLDoc(0) : 1; }

CString CVFDLDoc::GetActualFilePos(const CVFDLNode* node) const {
  if (!Owns(node)) return CString();
  CString base = GetBasePath();
  CString local = node == GetRootNode() ? CString() : GetLocalID(node->GetID());
  if (base.IsEmpty()) return local;
  return local.IsEmpty() ? base : base + "\\" + local;
}

// ---- building the tree from the file's content ----

namespace {

// The fields every item has, except its ID and times (which only the document may set).
void ReadItem(const XmlElement& e, CVFDLItem& item) {
  item.SetAlias(GetAttribute(e, kAlias));
  item.SetName(GetAttribute(e, kName));
  item.SetExtendType(ParseWord(GetAttribute(e, kExtendType)));
  for (const auto& child : e.children) {
    if (child->name == kSubject)
      item.SetSubject(GetText(*child));
    else if (child->name == kAbstract)
      item.SetAbstract(GetText(*child));
  }
}

CVFDLRec* ReadRecord(const XmlElement& e, CVFDLRec* rec) {
  // The file's variables replace whatever the new record holds; each goes straight into the
  // record (a name that comes again replaces the earlier value, as with SetVarList).
  rec->SetVarList(CVFVarArray());
  CVFPageArray pages;
  for (const auto& child : e.children) {
    if (child->name == kVar) {
      rec->SetVarValue(GetAttribute(*child, kName), GetText(*child));
    } else if (child->name == kPage) {
      pages.Add(CVFPage{GetAttribute(*child, kName), GetAttribute(*child, kPath), GetText(*child)});
    }
  }
  rec->SetPageList(pages);
  return rec;
}

}  // namespace

int CVFDLDoc::InitVFDLDoc(CVFDLNode* node) {
  if (node) return Owns(node) ? 1 : 0;
  const XmlElement* content = GetContent();
  if (!content) return GetRootNode() ? 1 : 0;
  if (!BuildTree(*content)) {
    ClearTree();
    return 0;
  }
  DropContent();
  return 1;
}

bool CVFDLDoc::BuildTree(const XmlElement& root) {
  ClearTree();
  unsigned long long next = 0, highest = 0;
  const CString* nextId = root.FindAttribute(kNextId);
  if (nextId) vfpath::ParseNumericID(*nextId, next);
  ScanIDs(root, highest);

  CVFDLFolder* item = NewFolderPointer();
  if (!item) return false;
  ReadItem(root, *item);
  item->m_strCreated = GetAttribute(root, kCreated);
  item->m_strUpdated = GetAttribute(root, kUpdated);
  CVFDLNode* rootNode = MakeRoot(item);
  // After MakeRoot, which starts the tree's count of IDs afresh: new IDs come from the file's
  // nextid and past every numeric ID in the file, also those of nodes deleted before it was saved.
  ReserveIDs(next > highest ? next : highest + 1);
  InitNodeExtendType(rootNode);
  return BuildChildren(root, rootNode);
}

bool CVFDLDoc::BuildChildren(const XmlElement& element, CVFDLNode* parent) {
  for (const auto& child : element.children) {
    const bool folder = child->name == kFolder;
    if (!folder && child->name != kRecord) continue;
    CVFDLItem* item = folder ? static_cast<CVFDLItem*>(NewFolderPointer()) : NewRecPointer();
    if (!item) return false;
    ReadItem(*child, *item);
    item->m_strCreated = GetAttribute(*child, kCreated);
    item->m_strUpdated = GetAttribute(*child, kUpdated);
    CVFDLNode* node = nullptr;
    if (folder || InitExtendRecItem(ReadRecord(*child, static_cast<CVFDLRec*>(item)), *child)) {
      const CString* id = child->FindAttribute(kId);
      node = AddNode(parent, folder ? VFDL_KIND_FOLDER : VFDL_KIND_REC, item, id ? *id : CString());
    }
    if (!node) {
      if (folder)
        DelFolderPointer(static_cast<CVFDLFolder*>(item));
      else
        DelRecPointer(static_cast<CVFDLRec*>(item));
      return false;
    }
    InitNodeExtendType(node);
    if (folder && !BuildChildren(*child, node)) return false;
  }
  return true;
}

// ---- writing the tree ----

namespace {

void WriteItem(const CVFDLItem& item, XmlElement& e, bool withId) {
  if (withId) e.AddAttribute(kId, item.GetID());
  PutAttribute(e, kAlias, item.GetAlias());
  PutAttribute(e, kName, item.GetName());
  if (item.GetExtendType()) e.AddAttribute(kExtendType, std::to_string(item.GetExtendType()).c_str());
  PutAttribute(e, kCreated, item.GetCreateTime());
  PutAttribute(e, kUpdated, item.GetUpdateTime());
  CString subject = item.GetSubject();
  if (!subject.IsEmpty()) PutText(*e.AddChild(kSubject), subject);
  CString abstract = item.GetAbstract();
  if (!abstract.IsEmpty()) PutText(*e.AddChild(kAbstract), abstract);
}

void WriteRecord(const CVFDLRec& rec, XmlElement& e) {
  CVFVarArray vars;
  rec.GetVarList(vars);
  for (int i = 0; i < vars.GetSize(); ++i) {
    XmlElement* var = e.AddChild(kVar);
    PutAttribute(*var, kName, vars[i].m_strName);
    PutText(*var, vars[i].m_strValue);
  }
  CVFPageArray pages;
  rec.GetPageList(pages);
  for (int i = 0; i < pages.GetSize(); ++i) {
    XmlElement* page = e.AddChild(kPage);
    PutAttribute(*page, kName, pages[i].m_strName);
    PutAttribute(*page, kPath, pages[i].m_strPath);
    PutText(*page, pages[i].m_strText);
  }
}

}  // namespace

int CVFDLDoc::SaveXMLDoc(int flag) {
  if (GetContent()) return CXMLDoc::SaveXMLDoc(flag);
  CVFDLNode* root = GetRootNode();
  if (!root || GetDocPath().IsEmpty()) return 0;
  XmlElement document(kRoot);
  document.AddAttribute(kVersion, "1");
  document.AddAttribute(kNextId, std::to_string(GetNextIDNumber()).c_str());
  WriteItem(*root->GetData(), document, false);
  if (!ComposeChildren(root, document)) return 0;
  return WriteContent(document);
}

bool CVFDLDoc::ComposeChildren(CVFDLNode* node, XmlElement& element) {
  for (CVFDLNode* child = GetFirstChild(node, true); child; child = GetNextNode(child, true)) {
    if (child->GetKind() == VFDL_KIND_FOLDER) {
      XmlElement* e = element.AddChild(kFolder);
      WriteItem(*child->GetData(), *e, true);
      if (!ComposeChildren(child, *e)) return false;
    } else if (child->GetKind() == VFDL_KIND_REC) {
      auto* rec = static_cast<const CVFDLRec*>(child->GetData());
      XmlElement* e = element.AddChild(kRecord);
      WriteItem(*rec, *e, true);
      WriteRecord(*rec, *e);
      if (!CreateExtendRecText(rec, *e)) return false;
    }
  }
  return true;
}

// ---- changes ----

CString CVFDLDoc::AddFolder(CVFDLNode* parent, CVFDLFolder* item, int) {
  if (!item || !Owns(parent) || parent->GetKind() == VFDL_KIND_REC) return CString();
  CVFDLFolder* copy = NewFolderPointer();
  if (!copy) return CString();
  *copy = *item;
  copy->m_strCreated = copy->m_strUpdated = VFDLTimeNow();
  CVFDLNode* node = AddNode(parent, VFDL_KIND_FOLDER, copy);
  if (!node) {
    DelFolderPointer(copy);
    return CString();
  }
  InitNodeExtendType(node);
  AutoSave();
  return node->GetID();
}

CString CVFDLDoc::AddRec(CVFDLNode* parent, CVFDLRec* item, int) {
  if (!item || !Owns(parent) || parent->GetKind() == VFDL_KIND_REC) return CString();
  CVFDLRec* copy = NewRecPointer();
  if (!copy) return CString();
  *copy = *item;
  copy->m_strCreated = copy->m_strUpdated = VFDLTimeNow();
  CVFDLNode* node = AddNode(parent, VFDL_KIND_REC, copy);
  if (!node) {
    DelRecPointer(copy);
    return CString();
  }
  InitNodeExtendType(node);
  AutoSave();
  return node->GetID();
}

int CVFDLDoc::UpdateRec(CVFDLNode* node, CVFDLRec* item, int) {
  if (!item || !Owns(node) || node->GetKind() != VFDL_KIND_REC) return 0;
  auto* rec = static_cast<CVFDLRec*>(node->GetData());
  *rec = *item;
  rec->m_strUpdated = VFDLTimeNow();
  InitNodeExtendType(node);
  AutoSave();
  return 1;
}

int CVFDLDoc::DelRec(CVFDLNode* node, int) {
  if (!Owns(node) || node->GetKind() != VFDL_KIND_REC) return 0;
  DelLinkFile(node);
  DelNode(node);
  AutoSave();
  return 1;
}

int CVFDLDoc::DelFolder(CVFDLNode* node, int) {
  if (!Owns(node) || node->GetKind() != VFDL_KIND_FOLDER) return 0;
  CPtrArray doomed;
  doomed.Add(node);
  BrowseNode(node, doomed);
  for (int i = 0; i < doomed.GetSize(); ++i) DelLinkFile(static_cast<CVFDLNode*>(doomed[i]));
  DelNode(node);
  AutoSave();
  return 1;
}
