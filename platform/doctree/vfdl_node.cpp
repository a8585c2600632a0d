#include "platform/doctree/vfdl_node.h"

#include "platform/doctree/vf_tree.h"
#include "platform/doctree/vfdl_item.h"

WORD CVFDLNode::GetExtendType() const { return m_pItem->GetExtendType(); }
void CVFDLNode::SetExtendType(WORD type) { m_pItem->SetExtendType(type); }
CString CVFDLNode::GetID() const { return m_pItem->GetID(); }
CString CVFDLNode::GetName() const { return m_pItem->GetName(); }
CString CVFDLNode::GetAlias() const { return m_pItem->GetAlias(); }
CString CVFDLNode::GetSubject() const { return m_pItem->GetSubject(); }
CString CVFDLNode::GetAbstract() const { return m_pItem->GetAbstract(); }
CString CVFDLNode::GetCreateTime() const { return m_pItem->GetCreateTime(); }
CString CVFDLNode::GetUpdateTime() const { return m_pItem->GetUpdateTime(); }
CString CVFDLNode::GetPos() const { return m_pTree->GetPos(this); }
CString CVFDLNode::GetActualFilePos() const { return m_pTree->GetActualFilePos(this); }
