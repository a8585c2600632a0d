#include "swap/sys_reg_rec.h"

#include "swap/sys_reg_doc.h"

#include <cstdlib>

CSysRegRec::CSysRegRec(const CSysRegRec& other) : CVFDLRec() { *this = other; }

CSysRegRec::~CSysRegRec() = default;

CSysRegRec& CSysRegRec::operator=(const CSysRegRec& other) {
  if (this != &other) CVFDLRec::operator=(other);
  return *this;
}

bool CSysRegRec::operator==(const CSysRegRec& other) const {
  return this == &other || CVFDLRec::operator==(other);
}

int CSysRegRec::IsSysKeyValue() const {
  if (GetType() != SYSREG_REGISTER) return 0;
  CVFVarArray vars;
  GetVarList(vars);
  return vars.Find("key") >= 0 && vars.Find("name") >= 0;
}

int CSysRegRec::GetInt(const char* name) const { return atoi(GetVarValue(name)); }

int CSysRegRec::GetIntOrMinusOne(const char* name) const {
  CString text = GetVarValue(name);
  return text.IsEmpty() ? -1 : atoi(text);
}

void CSysRegRec::SetInt(const char* name, int value) {
  CString text;
  text.Format("%d", value);
  SetVarValue(name, text);
}

int CSysRegRec::GetType() const { return CSysRegDoc::GetTypeValue(GetVarValue("type")); }
void CSysRegRec::SetType(int type) { SetVarValue("type", CSysRegDoc::GetTypeString(type)); }
int CSysRegRec::GetPermanent() const { return GetVarValue("permanent") == "yes"; }
void CSysRegRec::SetPermanent(int permanent) { SetVarValue("permanent", permanent ? "yes" : "no"); }
int CSysRegRec::GetReplace() const { return CSysRegDoc::GetReplaceValue(GetVarValue("replace")); }
void CSysRegRec::SetReplace(int replace) { SetVarValue("replace", CSysRegDoc::GetReplaceString(replace)); }

int CSysRegRec::GetRegType() const { return GetInt("regtype"); }
void CSysRegRec::SetRegType(const int& type) { SetInt("regtype", type); }
int CSysRegRec::GetEncode() const { return GetVarValue("encode") == "yes"; }
void CSysRegRec::SetEncode(int encode) { SetVarValue("encode", encode ? "yes" : ""); }
int CSysRegRec::GetURLProtocol() const { return GetVarValue("url").CompareNoCase("yes") == 0; }
void CSysRegRec::SetURLProtocol(int url) { SetVarValue("url", url ? "yes" : ""); }

int CSysRegRec::GetSrvType() const { return GetIntOrMinusOne("srvtype"); }
void CSysRegRec::SetSrvType(int v) { SetInt("srvtype", v); }
int CSysRegRec::GetStart() const { return GetIntOrMinusOne("start"); }
void CSysRegRec::SetStart(int v) { SetInt("start", v); }
int CSysRegRec::GetErrorControl() const { return GetIntOrMinusOne("error"); }
void CSysRegRec::SetErrorControl(int v) { SetInt("error", v); }
int CSysRegRec::GetTag() const { return GetInt("tag"); }
void CSysRegRec::SetTag(int v) { SetInt("tag", v); }
