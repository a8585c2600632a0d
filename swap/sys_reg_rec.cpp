#include "swap/sys_reg_rec.h"

#include "platform/doctree/xformat.h"
#include "platform/win/unique_file.h"
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

namespace {

const char kWideEncoding[] = "wide";

// The text in the system code page when it comes back from it unchanged; else the code page's
// rendering and, in wideVar, the UTF-16 bytes in Base64.
void SetRegistryText(CSysRegRec& rec, const char* var, const char* wideVar, const std::wstring& text) {
  bool lossless = true;
  std::string ansi = Narrow(text, CP_ACP, &lossless);
  if (lossless && Widen(ansi.c_str()) != text) lossless = false;  // a best-fit mapping changed it
  rec.SetVarValue(var, CString(ansi.c_str(), static_cast<int>(ansi.size())));
  if (lossless) {
    rec.RemoveVar(wideVar);
  } else {
    rec.SetVarValue(wideVar, CXFormat::EncodeTextBase64(reinterpret_cast<const BYTE*>(text.data()),
                                                        static_cast<int>(text.size() * sizeof(wchar_t)), 0));
  }
}

std::wstring GetRegistryText(const CSysRegRec& rec, const char* var, const char* wideVar) {
  CString base64 = rec.GetVarValue(wideVar);
  if (base64.IsEmpty()) return Widen(rec.GetVarValue(var));
  int size = base64.GetLength();
  std::wstring text(static_cast<size_t>(size) / sizeof(wchar_t) + 1, L'\0');
  if (!CXFormat::DecodeTextBase64(base64, reinterpret_cast<BYTE*>(&text[0]), size)) return Widen(rec.GetVarValue(var));
  text.resize(static_cast<size_t>(size) / sizeof(wchar_t));
  return text;
}

}  // namespace

std::wstring CSysRegRec::GetKeyW() const { return GetRegistryText(*this, "key", "keyw"); }
void CSysRegRec::SetKeyW(const std::wstring& key) { SetRegistryText(*this, "key", "keyw", key); }
std::wstring CSysRegRec::GetNameW() const { return GetRegistryText(*this, "name", "namew"); }
void CSysRegRec::SetNameW(const std::wstring& name) { SetRegistryText(*this, "name", "namew", name); }

int CSysRegRec::GetWideData() const { return GetVarValue("encode") == kWideEncoding; }

void CSysRegRec::SetWideData(DWORD type, const BYTE* data, DWORD size) {
  SetRegType(static_cast<int>(type));
  SetVarValue("encode", kWideEncoding);
  SetValue(CXFormat::EncodeTextBase64(data, static_cast<int>(size), 0));
}

int CSysRegRec::GetSrvType() const { return GetIntOrMinusOne("srvtype"); }
void CSysRegRec::SetSrvType(int v) { SetInt("srvtype", v); }
int CSysRegRec::GetStart() const { return GetIntOrMinusOne("start"); }
void CSysRegRec::SetStart(int v) { SetInt("start", v); }
int CSysRegRec::GetErrorControl() const { return GetIntOrMinusOne("error"); }
void CSysRegRec::SetErrorControl(int v) { SetInt("error", v); }
int CSysRegRec::GetTag() const { return GetInt("tag"); }
void CSysRegRec::SetTag(int v) { SetInt("tag", v); }
