// The settings document: named values addressed by "afs:\" paths.
//
// A key is a record: the path's last component names the record, the components before it the
// folders that lead to it, and the key's values are the record's variables. So
// SetKey("afs:\Register\Config\App\Tool\Display", "Remote", url) stores the variable "Remote"
// of the record "Display" in the folder "afs:\Register\Config\App\Tool". Folders hold no values.
//
// Components are aliases ("#" + ID reaches a node without an alias, as positions from
// CVFDLNode::GetPos do; see CVFTree). Missing components are created by SetKey and SetNode
// with the component as alias: a component of the "#" + ID form is never created.
//
// A change saves the file once (when auto-save is on), however many nodes it created.
#pragma once

#include "platform/doctree/vfdl_doc.h"

class CRegisterDoc : public CVFDLDoc {
 public:
  CRegisterDoc();
  ~CRegisterDoc() override;

  // value = the variable `name` of the record at position; 1 when the record has it. 0, and
  // value empty, when position names no record (nothing, a folder, the root) or the record has
  // no such variable.
  int GetKey(const CString& position, const CString& name, CString& value);
  // Sets the variable `name` of the record at position, creating the record and its folders as
  // needed. 1 when set; 0 when the path cannot be made: a component on the way is a record, the
  // last one is a folder or the root, a "#" + ID component names nothing, or the path lies
  // outside the document's position. Setting a value it already has changes nothing (no save).
  int SetKey(const CString& position, const CString& name, const CString& value);
  // Stores a copy of record under the folder at position (created as needed, like SetKey's
  // folders): a record with the same alias there is updated (UpdateRec), otherwise the copy is
  // added (AddRec). 1 on success; 0 when record is null, position cannot be made or names a
  // record, or the child of that alias is a folder. flag is passed on (see CVFDLDoc).
  int SetNode(const CString& position, CVFDLRec* record, int flag);

 protected:
  // The node at position; missing components are made, the last one a record when lastIsRecord,
  // every other one a folder. Null when that is impossible (see SetKey). created tells whether
  // anything was added.
  CVFDLNode* MakePath(const CString& position, bool lastIsRecord, bool& created);
};
