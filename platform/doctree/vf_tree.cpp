#include "platform/doctree/vf_tree.h"

#include "platform/doctree/vfdl_item.h"

#include <algorithm>
#include <string>

size_t CVFTree::AliasKeyHasher::operator()(const AliasKey& k) const noexcept {
  return vfpath::Hasher()(k.folded) ^ (reinterpret_cast<size_t>(k.parent) * 2654435761u);
}

void CVFTree::NodeDeleter::operator()(CVFDLNode* node) const { delete node; }

CVFTree::CVFTree() = default;

CVFTree::~CVFTree() { ClearTree(); }

void CVFTree::InitNodeExtendType(CVFDLNode*) {}

CVFDLNode* CVFTree::GetParentNode(CVFDLNode* node) const { return Owns(node) ? node->m_pParent : nullptr; }

int CVFTree::GetChildNum(CVFDLNode* node) const { return Owns(node) ? node->m_nChildren : 0; }

CVFDLNode* CVFTree::GetFirstChild(CVFDLNode* node, bool bAll) const {
  if (!Owns(node)) return nullptr;
  CVFDLNode* child = node->m_pFirstChild;
  while (child && !bAll && child->m_wKind != VFDL_KIND_FOLDER) child = child->m_pNext;
  return child;
}

CVFDLNode* CVFTree::GetNextNode(CVFDLNode* node, bool bAll) const {
  if (!Owns(node)) return nullptr;
  CVFDLNode* next = node->m_pNext;
  while (next && !bAll && next->m_wKind != VFDL_KIND_FOLDER) next = next->m_pNext;
  return next;
}

CVFDLNode* CVFTree::FindChild(const CVFDLNode* parent, const CString& alias) const {
  if (!parent || alias.IsEmpty()) return nullptr;
  auto it = m_byAlias.find(AliasKey{parent, vfpath::Fold(alias)});
  return it == m_byAlias.end() || it->second.empty() ? nullptr : it->second.front();
}

CVFDLNode* CVFTree::GetChild(const CVFDLNode* parent, const CString& component) const {
  if (parent && component[0] == '#') {
    CVFDLNode* byId = GetNodeByID(component.Mid(1));
    if (byId && byId->m_pParent == parent) return byId;
  }
  return FindChild(parent, component);
}

bool CVFTree::StripDocPos(std::vector<CString>& components) const {
  if (components.size() < m_docPos.size()) return false;
  for (size_t i = 0; i < m_docPos.size(); ++i)
    if (vfpath::Fold(components[i]) != vfpath::Fold(m_docPos[i])) return false;
  components.erase(components.begin(), components.begin() + m_docPos.size());
  return true;
}

CVFDLNode* CVFTree::GetNode(const CString& path) const {
  std::vector<CString> components = vfpath::Split(path);
  if (path.IsEmpty() || !StripDocPos(components)) return nullptr;
  CVFDLNode* node = m_pRoot;
  for (size_t i = 0; i < components.size() && node; ++i) node = GetChild(node, components[i]);
  return node;
}

CVFDLNode* CVFTree::GetNode(const CString& position, const CString& alias) const {
  return FindChild(GetNode(position), alias);
}

CVFDLNode* CVFTree::GetNodeByID(const CString& id) const {
  auto it = m_byId.find(id);
  return it == m_byId.end() ? nullptr : it->second.get();
}

int CVFTree::BrowseNode(CVFDLNode* node, CPtrArray& nodes) const {
  if (!Owns(node)) return 0;
  int added = 0;
  CVFDLNode* n = node->m_pFirstChild;
  while (n) {
    nodes.Add(n);
    ++added;
    if (n->m_pFirstChild) {
      n = n->m_pFirstChild;
      continue;
    }
    while (n != node && !n->m_pNext) n = n->m_pParent;
    n = n == node ? nullptr : n->m_pNext;
  }
  return added;
}

CString CVFTree::GetPos(const CVFDLNode* node) const {
  if (!Owns(node)) return CString();
  std::vector<CString> components;
  for (const CVFDLNode* n = node; n->m_pParent; n = n->m_pParent) {
    CString alias = n->m_pItem->GetAlias();
    if (vfpath::IsComponent(alias) && GetChild(n->m_pParent, alias) == n)
      components.push_back(alias);
    else
      components.push_back("#" + n->m_pItem->GetID());
  }
  components.insert(components.end(), m_docPos.rbegin(), m_docPos.rend());
  std::reverse(components.begin(), components.end());
  return vfpath::Join(components);
}

CString CVFTree::GetLocalID(const CString& id) const { return vfpath::IsValidID(id) ? id : CString(); }

CString CVFTree::GetActualFilePos(const CVFDLNode* node) const {
  return Owns(node) ? GetLocalID(node->GetID()) : CString();
}

CString CVFTree::GetDocPos() const { return vfpath::Join(m_docPos); }

void CVFTree::SetDocPos(const CString& position) { m_docPos = vfpath::Split(position); }

CVFDLNode* CVFTree::MakeRoot(CVFDLItem* item) {
  ClearTree();
  CVFDLNode* root = new CVFDLNode(this, VFDL_KIND_ROOT, item, m_nNextOrder++);
  item->m_strID = "0";
  item->m_pNode = root;
  m_byId.emplace(item->m_strID, NodePtr(root));
  m_pRoot = root;
  return root;
}

CVFDLNode* CVFTree::AddNode(CVFDLNode* parent, WORD kind, CVFDLItem* item, const CString& id) {
  if (!item || !Owns(parent) || (parent->m_wKind != VFDL_KIND_FOLDER && parent->m_wKind != VFDL_KIND_ROOT))
    return nullptr;
  CString nodeId = vfpath::IsValidID(id) && id != "0" && !m_byId.count(id) ? id : NewID();
  unsigned long long number = 0;
  if (vfpath::ParseNumericID(nodeId, number)) ReserveIDs(number + 1);

  CVFDLNode* node = new CVFDLNode(this, kind, item, m_nNextOrder++);
  m_byId.emplace(nodeId, NodePtr(node));
  item->m_strID = nodeId;
  item->m_pNode = node;
  node->m_pParent = parent;
  node->m_pPrev = parent->m_pLastChild;
  if (parent->m_pLastChild)
    parent->m_pLastChild->m_pNext = node;
  else
    parent->m_pFirstChild = node;
  parent->m_pLastChild = node;
  ++parent->m_nChildren;
  IndexAlias(node);
  return node;
}

void CVFTree::DelNode(CVFDLNode* node) {
  if (!Owns(node)) return;
  if (node == m_pRoot) {
    ClearTree();
    return;
  }
  CPtrArray doomed;
  doomed.Add(node);
  BrowseNode(node, doomed);

  CVFDLNode* parent = node->m_pParent;
  (node->m_pPrev ? node->m_pPrev->m_pNext : parent->m_pFirstChild) = node->m_pNext;
  (node->m_pNext ? node->m_pNext->m_pPrev : parent->m_pLastChild) = node->m_pPrev;
  --parent->m_nChildren;

  for (int i = 0; i < doomed.GetSize(); ++i) {
    auto* n = static_cast<CVFDLNode*>(doomed[i]);
    UnindexAlias(n, n->m_pItem->GetAlias());
  }
  for (int i = doomed.GetSize() - 1; i >= 0; --i) {
    auto* n = static_cast<CVFDLNode*>(doomed[i]);
    CString id = n->m_pItem->GetID();
    n->m_pItem->m_pNode = nullptr;
    DelData(n);
    n->m_pItem = nullptr;
    m_byId.erase(id);
  }
}

void CVFTree::ClearTree() {
  for (auto& entry : m_byId) {
    CVFDLNode* n = entry.second.get();
    n->m_pItem->m_pNode = nullptr;
    DelData(n);
    n->m_pItem = nullptr;
  }
  m_byAlias.clear();
  m_byId.clear();
  m_pRoot = nullptr;
  m_nNextID = 1;
}

void CVFTree::OnRecordChanging(CVFDLNode* /*node*/) {}
void CVFTree::OnRecordChanged(CVFDLNode* /*node*/) {}

void CVFTree::DelData(CVFDLNode* node) { delete node->m_pItem; }

void CVFTree::ReserveIDs(unsigned long long next) {
  if (next > m_nNextID) m_nNextID = next;
}

CString CVFTree::NewID() {
  CString id;
  for (;;) {
    id = std::to_string(m_nNextID++).c_str();
    if (!m_byId.count(id)) return id;
  }
}

bool CVFTree::ByOrder(const CVFDLNode* a, const CVFDLNode* b) { return a->m_nOrder < b->m_nOrder; }

bool CVFTree::IsBefore(const CVFDLNode* a, const CVFDLNode* b) const {
  if (a == b || !Owns(a) || !Owns(b)) return false;
  std::vector<const CVFDLNode*> pathA, pathB;  // root first
  for (const CVFDLNode* n = a; n; n = n->m_pParent) pathA.insert(pathA.begin(), n);
  for (const CVFDLNode* n = b; n; n = n->m_pParent) pathB.insert(pathB.begin(), n);
  size_t i = 0;
  while (i < pathA.size() && i < pathB.size() && pathA[i] == pathB[i]) ++i;
  if (i == pathA.size()) return true;   // a is an ancestor of b
  if (i == pathB.size()) return false;  // b is an ancestor of a
  return ByOrder(pathA[i], pathB[i]);
}

void CVFTree::IndexAlias(CVFDLNode* node) {
  const CString alias = node->m_pItem->GetAlias();
  if (!node->m_pParent || alias.IsEmpty()) return;
  std::vector<CVFDLNode*>& list = m_byAlias[AliasKey{node->m_pParent, vfpath::Fold(alias)}];
  if (list.empty() || list.back()->m_nOrder < node->m_nOrder) {
    list.push_back(node);
    return;
  }
  list.insert(std::lower_bound(list.begin(), list.end(), node, ByOrder), node);
}

void CVFTree::UnindexAlias(CVFDLNode* node, const CString& alias) {
  if (!node->m_pParent || alias.IsEmpty()) return;
  auto it = m_byAlias.find(AliasKey{node->m_pParent, vfpath::Fold(alias)});
  if (it == m_byAlias.end()) return;
  std::vector<CVFDLNode*>& list = it->second;
  auto at = std::lower_bound(list.begin(), list.end(), node, ByOrder);
  if (at != list.end() && *at == node) list.erase(at);
  if (list.empty()) m_byAlias.erase(it);
}

void CVFTree::OnAliasChanged(CVFDLNode* node, const CString& previous) {
  UnindexAlias(node, previous);
  IndexAlias(node);
}
