// CSysRegRec: one system registration of a tool (a registry key or value, a COM library, a file,
// a file association, a firewall exception or a service), kept as a record of a registration
// document. It holds no data of its own: every attribute is a named text variable of the record,
// and the accessors below convert between those texts and numbers, flags and the two
// vocabularies of CSysRegDoc ("type": register, library, file, association, firewall, service;
// "replace": always, none, ask, new).
//
// Encodings: numbers are written "%d"; GetRegType and GetTag read absent or non-numeric text as 0,
// GetSrvType, GetStart and GetErrorControl read empty text as -1. "permanent" and "encode" are
// true only for exactly "yes"; "url" for "yes" in any letter case. SetPermanent writes "yes" or
// "no"; SetEncode and SetURLProtocol write "yes" or "".
//
// Registry names and data exactly as the machine holds them (what the swap captures):
//   "keyw", "namew"  Base64 of the UTF-16 text of the key path or value name, present only when
//                    "key" or "name" cannot hold it in the system code page ("key" and "name"
//                    then show it as the code page can, with "?" for what it lacks)
//   "encode" "wide"  "value" is Base64 of the value's bytes as the Unicode registry functions
//                    hold them (any type number, any length, no terminating zero added)
// "encode" "yes" (hand-written and older documents) means bytes for the ANSI functions.
#pragma once

#include "platform/doctree/vfdl_rec.h"
#include "sysreg/vantel_api.h"

#include <string>

// The kinds of registration (the variable "type") and the replace policies ("replace"), numbered
// as CSysRegDoc's vocabularies number their words.
enum SysRegType {
  SYSREG_UNKNOWN = 0,
  SYSREG_REGISTER = 1,     // a registry key (whole) or one value
  SYSREG_LIBRARY = 2,      // a COM library
  SYSREG_FILE = 3,         // a file (its content in the record's storage folder)
  SYSREG_ASSOCIATION = 4,  // a file-type or URL-protocol association
  SYSREG_FIREWALL = 5,     // a firewall exception
  SYSREG_SERVICE = 6,      // a Windows service
};
enum SysRegReplace {
  REPLACE_ALWAYS = 0,  // the tool's registration always replaces the machine's
  REPLACE_NONE = 1,    // an item the machine has is left alone
  REPLACE_ASK = 2,     // the same, for now (no question is asked)
  REPLACE_NEW = 3,     // the same: only items the machine lacks are installed
};

class VANTEL_API CSysRegRec : public CVFDLRec {
 public:
  CSysRegRec() = default;
  CSysRegRec(const CSysRegRec& other);
  ~CSysRegRec() override;
  CSysRegRec& operator=(const CSysRegRec& other);
  bool operator==(const CSysRegRec& other) const;
  bool operator!=(const CSysRegRec& other) const { return !(*this == other); }

  // 1 for a register record with both a "key" and a "name" variable (the name may be empty:
  // the key's default value): the record stands for one value, not a whole key.
  int IsSysKeyValue() const;

  int GetType() const;
  void SetType(int type);
  int GetPermanent() const;
  void SetPermanent(int permanent);
  int GetReplace() const;
  void SetReplace(int replace);

  CString GetKey() const { return GetVarValue("key"); }
  void SetKey(const CString& v) { SetVarValue("key", v); }
  CString GetName() const { return GetVarValue("name"); }
  void SetName(const CString& v) { SetVarValue("name", v); }
  int GetRegType() const;
  void SetRegType(const int& type);
  CString GetValue() const { return GetVarValue("value"); }
  void SetValue(const CString& v) { SetVarValue("value", v); }
  int GetEncode() const;
  void SetEncode(int encode);

  // The key path and value name as the Unicode registry functions take them: "keyw"/"namew" when
  // present, else "key"/"name" in the system code page. The setters write both forms.
  std::wstring GetKeyW() const;
  void SetKeyW(const std::wstring& key);
  std::wstring GetNameW() const;
  void SetNameW(const std::wstring& name);
  // "encode" "wide": the bytes of the value as the Unicode registry functions hold them.
  int GetWideData() const;
  void SetWideData(DWORD type, const BYTE* data, DWORD size);

  CString GetGuid() const { return GetVarValue("guid"); }
  void SetGuid(const CString& v) { SetVarValue("guid", v); }
  CString GetLibrary() const { return GetVarValue("library"); }
  void SetLibrary(const CString& v) { SetVarValue("library", v); }
  CString GetRegCmd() const { return GetVarValue("register"); }
  void SetRegCmd(const CString& v) { SetVarValue("register", v); }
  CString GetFile() const { return GetVarValue("file"); }
  void SetFile(const CString& v) { SetVarValue("file", v); }

  CString GetExt() const { return GetVarValue("extension"); }
  void SetExt(const CString& v) { SetVarValue("extension", v); }
  CString GetDocument() const { return GetVarValue("document"); }
  void SetDocument(const CString& v) { SetVarValue("document", v); }
  CString GetContentType() const { return GetVarValue("contenttype"); }
  void SetContentType(const CString& v) { SetVarValue("contenttype", v); }
  CString GetIcon() const { return GetVarValue("icon"); }
  void SetIcon(const CString& v) { SetVarValue("icon", v); }
  CString GetFriendlyName() const { return GetVarValue("friendlyname"); }
  void SetFriendlyName(const CString& v) { SetVarValue("friendlyname", v); }
  int GetURLProtocol() const;
  void SetURLProtocol(int url);
  CString GetEdit() const { return GetVarValue("edit"); }
  void SetEdit(const CString& v) { SetVarValue("edit", v); }
  CString GetOpen() const { return GetVarValue("open"); }
  void SetOpen(const CString& v) { SetVarValue("open", v); }
  CString GetPrint() const { return GetVarValue("print"); }
  void SetPrint(const CString& v) { SetVarValue("print", v); }
  CString GetCLSID() const { return GetVarValue("clsid"); }
  void SetCLSID(const CString& v) { SetVarValue("clsid", v); }

  CString GetExe() const { return GetVarValue("execute"); }
  void SetExe(const CString& v) { SetVarValue("execute", v); }
  CString GetEnabled() const { return GetVarValue("enabled"); }
  void SetEnabled(const CString& v) { SetVarValue("enabled", v); }

  int GetSrvType() const;
  void SetSrvType(int v);
  int GetStart() const;
  void SetStart(int v);
  int GetErrorControl() const;
  void SetErrorControl(int v);
  CString GetGroup() const { return GetVarValue("group"); }
  void SetGroup(const CString& v) { SetVarValue("group", v); }
  int GetTag() const;
  void SetTag(int v);
  CString GetDependOnService() const { return GetVarValue("depend"); }
  void SetDependOnService(const CString& v) { SetVarValue("depend", v); }
  CString GetAccount() const { return GetVarValue("account"); }
  void SetAccount(const CString& v) { SetVarValue("account", v); }
  CString GetDisplayName() const { return GetVarValue("displayname"); }
  void SetDisplayName(const CString& v) { SetVarValue("displayname", v); }
  CString GetDescription() const { return GetVarValue("description"); }
  void SetDescription(const CString& v) { SetVarValue("description", v); }

 private:
  int GetInt(const char* name) const;
  int GetIntOrMinusOne(const char* name) const;
  void SetInt(const char* name, int value);
};
