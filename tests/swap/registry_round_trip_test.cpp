// The promise of the swap, checked on random machines and random tools: after a tool has been
// swapped in, has run and has been swapped out, the machine's registry is what it was before,
// and the tool's own state has gone into its MySelf document, from which the next swap in puts
// it back.
//
// Each round builds a machine state under HKEY_CURRENT_USER\<test root>\Rounds\<n> (values of
// every type, default and empty names, names and data with code page 936 bytes, long data, deep
// and empty keys) and a tool document whose "config" names parts of it (whole keys and single
// values, present or not, under every replace policy, some marked permanent, some spelt in
// another letter case) and whose "install" class holds the tool's values for them, some
// permanent, some in nested folders. Then: swap in, the tool changes its values (adds, changes
// and deletes values and keys), swap out, swap in again, swap out again, with the whole subtree
// compared after each step against what it must be.
//
// What a swap cannot keep, and the rounds therefore expect:
//   - values of type 0 (REG_NONE) are not captured: in a part that the swap clears they are gone
//     afterwards;
//   - an item that the machine has and whose policy is "none", "ask" or "new" is left to the
//     machine, so the tool is given no values there (its own would overwrite the machine's);
//   - a single-value item lives in a key the machine has (the swap removes the value, not a key
//     that the tool's value made);
//   - a permanent record of the tool wins over the tool's later change of the same value.
// Names are compared ignoring case (an item spelt in another case comes back spelt that way).
#include "tests/support/processes.h"
#include "tests/support/registration_docs.h"
#include "tests/support/registry.h"
#include "tests/support/services.h"

#include <gtest/gtest.h>
#include <shlwapi.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <set>

namespace {

const std::string kRounds = std::string(kTestRoot) + "\\Rounds";

const DWORD kTypes[] = {REG_SZ, REG_EXPAND_SZ, REG_BINARY, REG_DWORD, REG_MULTI_SZ, REG_QWORD, REG_NONE};

// ---- The expected registry, kept as a snapshot -------------------------------------------------

std::wstring FoldA(const std::string& ansi) { return Fold(Wide(ansi)); }

void PutKey(RegSnapshot& s, const std::string& path) {
  s.exists = true;
  for (size_t at = 0; at != std::string::npos;) {
    at = path.find('\\', at + 1);
    std::string prefix = path.substr(0, at);
    if (!prefix.empty()) s.keys.emplace(FoldA(prefix), Wide(prefix));
  }
}

void PutValue(RegSnapshot& s, const std::string& path, const std::string& name, DWORD type, const std::string& bytes) {
  if (!path.empty()) PutKey(s, path);
  RegValueData& v = s.values[{FoldA(path), FoldA(name)}];
  if (v.name.empty()) v.name = Wide(name);
  v.type = type;
  v.data = WideData(type, bytes);
}

bool Within(const std::wstring& folded, const std::wstring& top) {
  return folded == top || (folded.size() > top.size() && folded.compare(0, top.size(), top) == 0 && folded[top.size()] == L'\\');
}

void RemoveTree(RegSnapshot& s, const std::string& path) {
  const std::wstring top = FoldA(path);
  for (auto it = s.keys.begin(); it != s.keys.end();) it = Within(it->first, top) ? s.keys.erase(it) : std::next(it);
  for (auto it = s.values.begin(); it != s.values.end();)
    it = Within(it->first.first, top) ? s.values.erase(it) : std::next(it);
}

void RemoveValue(RegSnapshot& s, const std::string& path, const std::string& name) {
  s.values.erase({FoldA(path), FoldA(name)});
}

// REG_NONE values at or below path (a whole key), or the one value named.
void RemoveNoneValues(RegSnapshot& s, const std::string& path, const std::string* name) {
  const std::wstring top = FoldA(path);
  for (auto it = s.values.begin(); it != s.values.end();) {
    bool hit = it->second.type == REG_NONE &&
               (name ? it->first == std::make_pair(top, FoldA(*name)) : Within(it->first.first, top));
    it = hit ? s.values.erase(it) : std::next(it);
  }
}

// ---- One round -----------------------------------------------------------------------------------

struct ToolValue {  // a record of the tool's "install" class
  std::string path;  // below the round's key, as the record spells it
  bool keyOnly = false;
  std::string name;
  DWORD type = 0;
  std::string bytes;  // what the record puts on the machine
  bool plain = false;  // written as text ("regtype" 1 or 4) instead of Base64
  bool permanent = false;
};

struct Area {  // an item of the tool's "config"
  bool wholeKey = true;
  std::string path;      // below the round's key, as the machine spells it
  std::string spelt;     // as the record spells it
  std::string name;      // single value
  std::string policy;    // "" for none given
  bool leftAlone = false;  // the machine has it and the policy protects it
};

class Round {
 public:
  Round(unsigned seed, int index) : m_rng(seed), m_sub(kRounds + "\\" + std::to_string(index)) {}

  const std::string& sub() const { return m_sub; }
  std::string KeyText(const std::string& path) const {
    std::string root = Chance(15) ? "hkey_current_user\\" : "HKEY_CURRENT_USER\\";
    return root + m_sub + (path.empty() ? "" : "\\" + path);
  }

  void BuildMachine() {
    ASSERT_TRUE(MakeKey(HKEY_CURRENT_USER, m_sub));
    std::set<std::wstring> used;
    for (int n = 2 + Pick(4); n > 0; --n) {
      std::string top = FreshName(used, false);
      if (Chance(70)) {
        ASSERT_NO_FATAL_FAILURE(FillKey(top, 0));
        m_present.push_back(top);
      } else {
        m_absent.push_back(top);
      }
    }
  }

  void ChooseAreas() {
    m_before = Snapshot(HKEY_CURRENT_USER, m_sub);
    for (const std::string& top : m_absent)
      if (Chance(60)) AddArea(true, top, "");
    for (const std::string& top : m_present) {
      int choice = Pick(100);
      if (choice < 35) {
        AddArea(true, top, "");
        continue;
      }
      if (choice < 85) {
        std::vector<std::string> names = ValueNames(top);
        std::set<std::wstring> taken;
        for (int n = 1 + Pick(3); n > 0; --n) {
          std::string name = !names.empty() && Chance(70) ? names[Pick(static_cast<int>(names.size()))]
                                                          : (Chance(30) ? std::string() : FreshValueName());
          if (taken.insert(FoldA(name)).second) AddArea(false, top, name);
        }
      }
      if (choice >= 60) {
        std::vector<std::string> children = SubKeys(top);
        std::set<std::wstring> none;
        std::string child = !children.empty() && Chance(60) ? children[Pick(static_cast<int>(children.size()))]
                                                             : top + "\\" + FreshName(none, false);
        AddArea(true, child, "");
      }
    }
    std::shuffle(m_areas.begin(), m_areas.end(), m_rng);
  }

  void WriteToolDocument(const std::string& path) {
    auto doc = NewDoc(path);
    ASSERT_TRUE(doc);
    doc->SetAutoSaveFlag(0);
    CVFDLNode* config = doc->GetClassNode("config", 1);
    std::vector<CVFDLNode*> configFolders = {config};
    for (const Area& a : m_areas) {
      if (Chance(15)) configFolders.push_back(AddFolder(*doc, configFolders[Pick(static_cast<int>(configFolders.size()))], "group"));
      Vars vars = {{"type", "register"}, {"key", KeyText(a.spelt)}};
      if (!a.wholeKey) vars.push_back({"name", Respell(a.name)});
      if (!a.policy.empty()) vars.push_back({"replace", a.policy});
      if (Chance(20)) vars.push_back({"permanent", Chance(50) ? "yes" : "no"});
      ASSERT_TRUE(AddRecord(*doc, configFolders[Pick(static_cast<int>(configFolders.size()))], vars));
    }
    // The tool's own values, for the parts it may write.
    for (const Area& a : m_areas) {
      if (a.leftAlone || Chance(25)) continue;
      if (!a.wholeKey) {
        AddToolValue(a.spelt, a.name);
        continue;
      }
      std::vector<std::string> keys = {a.spelt};
      std::set<std::wstring> used;
      std::set<std::pair<std::wstring, std::wstring>> values;  // one record per value
      for (int n = Pick(7); n > 0; --n) {
        const std::string& at = keys[Pick(static_cast<int>(keys.size()))];
        if (Chance(35) && at.size() < 120) {
          std::string key = at + "\\" + FreshName(used, true);
          keys.push_back(key);
          if (Chance(40)) AddToolKey(key);
        } else {
          std::string name = Chance(20) ? std::string() : FreshValueName();
          if (values.insert({FoldA(at), FoldA(name)}).second) AddToolValue(at, name);
        }
      }
      if (Chance(30)) AddToolKey(a.spelt);
    }
    std::shuffle(m_tool.begin(), m_tool.end(), m_rng);
    CVFDLNode* install = doc->GetClassNode("install", 1);
    std::vector<CVFDLNode*> folders = {install};
    for (const ToolValue& t : m_tool) {
      if (Chance(10)) folders.push_back(AddFolder(*doc, folders[Pick(static_cast<int>(folders.size()))], "part"));
      Vars vars = {{"type", "register"}, {"key", KeyText(t.path)}};
      if (!t.keyOnly) {
        vars.push_back({"name", t.name});
        vars.push_back({"regtype", std::to_string(t.type)});
        if (!t.plain) {
          vars.push_back({"encode", "yes"});
          vars.push_back({"value", Base64(t.bytes)});
        } else if (t.type == REG_SZ) {
          vars.push_back({"value", t.bytes.substr(0, t.bytes.size() - 1)});
        } else {
          int32_t number;
          memcpy(&number, t.bytes.data(), 4);
          vars.push_back({"value", std::to_string(number)});
        }
      }
      if (t.permanent) vars.push_back({"permanent", "yes"});
      ASSERT_TRUE(AddRecord(*doc, folders[Pick(static_cast<int>(folders.size()))], vars));
    }
    doc->SetAutoSaveFlag(1);
    ASSERT_EQ(doc->SaveXMLDoc(0), 1);
  }

  // What the machine holds after the first swap in: the parts the swap clears hold only the
  // tool's values.
  RegSnapshot AfterSwapIn() const {
    RegSnapshot s = m_before;
    for (const Area& a : m_areas) {
      if (a.leftAlone) continue;
      if (a.wholeKey)
        RemoveTree(s, a.path);
      else
        RemoveValue(s, a.path, a.name);
    }
    for (const ToolValue& t : m_tool) Apply(s, t);
    return s;
  }

  // What the machine holds once the tool is swapped out: what it held, less the values of type
  // 0 in the parts the swap cleared.
  RegSnapshot AfterSwapOut() const {
    RegSnapshot s = m_before;
    for (const Area& a : m_areas)
      if (!a.leftAlone) RemoveNoneValues(s, a.path, a.wholeKey ? nullptr : &a.name);
    return s;
  }

  // What the next swap in shows: the tool's state as it left it, with its permanent records
  // written over it.
  RegSnapshot AfterNextSwapIn(const RegSnapshot& toolLeft) const {
    RegSnapshot s = toolLeft;
    for (const ToolValue& t : m_tool)
      if (t.permanent) Apply(s, t);
    return s;
  }

  // The tool at work: it adds, changes and deletes values and keys in the parts it owns.
  void RunTool() {
    for (const Area& a : m_areas) {
      if (a.leftAlone) continue;
      const std::string key = m_sub + "\\" + a.path;
      if (!a.wholeKey) {
        int what = Pick(3);
        if (what == 0) {
          ASSERT_NO_FATAL_FAILURE(SetRandom(key, a.name));
        } else if (what == 1) {
          SHDeleteValueA(HKEY_CURRENT_USER, key.c_str(), a.name.c_str());
        }
        continue;
      }
      for (int n = Pick(6); n > 0; --n) {
        RegSnapshot now = Snapshot(HKEY_CURRENT_USER, key);
        std::vector<std::wstring> keys = {std::wstring()};
        for (const auto& k : now.keys) keys.push_back(k.second);
        std::string at = key;
        const std::wstring& pick = keys[Pick(static_cast<int>(keys.size()))];
        if (!pick.empty()) at += "\\" + Narrow(pick);
        int what = Pick(100);
        if (what < 40) {
          std::vector<std::string> names = ValueNamesAt(at);
          std::string name = !names.empty() && Chance(50) ? names[Pick(static_cast<int>(names.size()))] : FreshValueName();
          ASSERT_NO_FATAL_FAILURE(SetRandom(at, name));
        } else if (what < 60) {
          std::vector<std::string> names = ValueNamesAt(at);
          if (!names.empty()) SHDeleteValueA(HKEY_CURRENT_USER, at.c_str(), names[Pick(static_cast<int>(names.size()))].c_str());
        } else if (what < 80) {
          std::set<std::wstring> none;
          std::string made = at + "\\" + FreshName(none, true);
          if (Chance(50)) {
            ASSERT_NO_FATAL_FAILURE(SetRandom(made, FreshValueName()));
          } else {
            ASSERT_TRUE(MakeKey(HKEY_CURRENT_USER, made));
          }
        } else {
          SHDeleteKeyA(HKEY_CURRENT_USER, at.c_str());
        }
      }
    }
  }

  std::string Describe() const {
    std::string s;
    for (const Area& a : m_areas)
      s += std::string(a.wholeKey ? "  key " : "  value ") + a.spelt + (a.wholeKey ? "" : " : \"" + a.name + "\"") +
           " replace \"" + a.policy + "\"" + (a.leftAlone ? " (left to the machine)" : "") + "\n";
    s += "  " + std::to_string(m_tool.size()) + " tool records\n";
    return s;
  }

 private:
  int Pick(int n) const { return n <= 0 ? 0 : static_cast<int>(m_rng() % static_cast<unsigned>(n)); }
  bool Chance(int percent) const { return Pick(100) < percent; }

  static std::string Narrow(const std::wstring& w) {
    if (w.empty()) return std::string();
    int n = WideCharToMultiByte(CP_ACP, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
    std::string a(n, '\0');
    WideCharToMultiByte(CP_ACP, 0, w.data(), static_cast<int>(w.size()), &a[0], n, nullptr, nullptr);
    return a;
  }

  std::string Text(int length) const {
    std::string s;
    while (static_cast<int>(s.size()) < length) {
      int kind = Pick(10);
      if (kind < 2) {  // a character of code page 936 (GB2312 area)
        s += static_cast<char>(0xB0 + Pick(0xF7 - 0xB0 + 1));
        s += static_cast<char>(0xA1 + Pick(0xFE - 0xA1 + 1));
      } else if (kind < 3) {
        s += " ._-()&'#!~"[Pick(11)];
      } else {
        s += "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789"[Pick(62)];
      }
    }
    return s;
  }

  // A key or value name not yet used in `used` (compared as the registry compares).
  std::string FreshName(std::set<std::wstring>& used, bool forTool) const {
    for (;;) {
      std::string name = (forTool ? "t" : "") + Text(1 + Pick(10));
      while (!name.empty() && name.back() == ' ') name.pop_back();
      if (name.empty() || name[0] == ' ') continue;
      if (used.insert(FoldA(name)).second) return name;
    }
  }
  std::string FreshValueName() const {
    if (Chance(3)) return Text(270);          // longer than a path
    if (Chance(5)) return "a\\b" + Text(3);  // value names may hold backslashes
    return "v" + Text(1 + Pick(8));
  }
  // The record's spelling of a name given in the machine's: another letter case now and then.
  std::string Respell(const std::string& name) const {
    if (!Chance(25)) return name;
    std::string s = name;
    for (char& c : s)
      if (((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) && Chance(50)) c ^= 0x20;
    return s;
  }

  DWORD RandomType(bool none) const {
    for (;;) {
      DWORD t = kTypes[Pick(sizeof kTypes / sizeof *kTypes)];
      if (t != REG_NONE || none) return t;
    }
  }
  std::string Data(DWORD type) const {
    switch (type) {
      case REG_SZ:
        return Chance(10) ? std::string(1, '\0') : Text(Chance(10) ? 261 + Pick(500) : Pick(30)) + '\0';
      case REG_EXPAND_SZ:
        return (Chance(50) ? "%WINDIR%\\" : "%VANTEL_NOT_SET%") + Text(Pick(20)) + '\0';
      case REG_MULTI_SZ: {
        std::string s;
        for (int n = Pick(4); n > 0; --n) s += Text(1 + Pick(12)) + '\0';
        return s + (s.empty() ? std::string(2, '\0') : std::string(1, '\0'));
      }
      case REG_DWORD:
      case REG_QWORD: {
        std::string s;
        for (int n = type == REG_DWORD ? 4 : 8; n > 0; --n) s += static_cast<char>(Pick(256));
        return s;
      }
      default: {  // REG_BINARY and REG_NONE
        std::string s;
        for (int n = Chance(15) ? 0 : (type == REG_NONE ? Pick(9) : Pick(Chance(20) ? 900 : 40)); n > 0; --n)
          s += static_cast<char>(Pick(256));
        return s;
      }
    }
  }
  void SetRandom(const std::string& key, const std::string& name) {
    DWORD type = RandomType(false);
    ASSERT_TRUE(SetRaw(HKEY_CURRENT_USER, key, name, type, Data(type))) << key << " : " << name;
  }

  void FillKey(const std::string& path, int depth) {
    const std::string key = m_sub + "\\" + path;
    ASSERT_TRUE(MakeKey(HKEY_CURRENT_USER, key));
    std::set<std::wstring> written;  // names as the registry compares them
    for (int n = Pick(5) + (Chance(30) ? 1 : 0); n > 0; --n) {
      std::string name = Chance(20) ? std::string() : FreshValueName();
      if (!written.insert(FoldA(name)).second) continue;
      DWORD type = RandomType(true);
      ASSERT_TRUE(SetRaw(HKEY_CURRENT_USER, key, name, type, Data(type))) << key << " : " << name;
    }
    if (depth >= 3) return;
    std::set<std::wstring> used;
    for (int n = Pick(depth == 0 ? 4 : 3); n > 0; --n) ASSERT_NO_FATAL_FAILURE(FillKey(path + "\\" + FreshName(used, false), depth + 1));
  }

  std::vector<std::string> ValueNamesAt(const std::string& key) const {
    std::vector<std::string> out;
    RegKey k;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, k.receive()) != ERROR_SUCCESS) return out;
    char name[1024];
    for (DWORD i = 0;; ++i) {
      DWORD len = sizeof name;
      if (RegEnumValueA(k.get(), i, name, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
      out.emplace_back(name, len);
    }
    return out;
  }
  std::vector<std::string> ValueNames(const std::string& path) const { return ValueNamesAt(m_sub + "\\" + path); }
  std::vector<std::string> SubKeys(const std::string& path) const {
    std::vector<std::string> out;
    RegKey k;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, (m_sub + "\\" + path).c_str(), 0, KEY_READ, k.receive()) != ERROR_SUCCESS) return out;
    char name[300];
    for (DWORD i = 0; RegEnumKeyA(k.get(), i, name, sizeof name) == ERROR_SUCCESS; ++i) out.push_back(path + "\\" + name);
    return out;
  }

  void AddArea(bool wholeKey, const std::string& path, const std::string& name) {
    static const char* const policies[] = {"", "always", "none", "ask", "new", "Always", "NONE"};
    Area a;
    a.wholeKey = wholeKey;
    a.path = path;
    a.spelt = Respell(path);
    a.name = name;
    a.policy = policies[Pick(7)];
    bool protects = a.policy == "none" || a.policy == "ask" || a.policy == "new";
    // Whether the machine has the item, as the swap asks: for a value with the empty name (the
    // default value) that is whether its key exists.
    const std::string key = m_sub + "\\" + path;
    bool present = wholeKey || name.empty() ? HasKey(HKEY_CURRENT_USER, key) : HasValue(HKEY_CURRENT_USER, key, name);
    a.leftAlone = protects && present;
    m_areas.push_back(a);
  }

  void AddToolValue(const std::string& path, const std::string& name) {
    ToolValue t;
    t.path = path;
    t.name = name;
    t.type = RandomType(false);
    t.bytes = Data(t.type);
    if (Chance(20) && (t.type == REG_SZ || t.type == REG_DWORD) && t.bytes.find('%') == std::string::npos) t.plain = true;
    t.permanent = Chance(20);
    m_tool.push_back(t);
  }
  void AddToolKey(const std::string& path) {
    ToolValue t;
    t.path = path;
    t.keyOnly = true;
    t.permanent = Chance(20);
    m_tool.push_back(t);
  }
  static void Apply(RegSnapshot& s, const ToolValue& t) {
    if (t.keyOnly)
      PutKey(s, t.path);
    else
      PutValue(s, t.path, t.name, t.type, t.bytes);
  }

  mutable std::mt19937 m_rng;
  std::string m_sub;
  std::vector<std::string> m_present, m_absent;
  std::vector<Area> m_areas;
  std::vector<ToolValue> m_tool;
  RegSnapshot m_before;
};

TEST(RegistryRoundTrip, NothingOfTheMachineIsLostAndTheToolKeepsItsOwn) {
  KeyCleanup rounds(HKEY_CURRENT_USER, kRounds);
  const unsigned base = BaseSeed();
  for (int index = 0; index < 300; ++index) {
    const unsigned seed = base * 7919u + static_cast<unsigned>(index);
    SCOPED_TRACE("round " + std::to_string(index) + ", seed " + std::to_string(seed) +
                 " (VANTEL_SWAP_SEED=" + std::to_string(base) + " replays the run)");
    Round round(seed, index);
    KeyCleanup key(HKEY_CURRENT_USER, round.sub());
    ScratchTool tool("round");
    ASSERT_NO_FATAL_FAILURE(round.BuildMachine());
    round.ChooseAreas();
    ASSERT_NO_FATAL_FAILURE(round.WriteToolDocument(tool.MyDoc()));
    SCOPED_TRACE("config:\n" + round.Describe());

    ASSERT_EQ(tool.BackupTool(), 1);
    ASSERT_EQ(Differences(round.AfterSwapIn(), Snapshot(HKEY_CURRENT_USER, round.sub())), "") << "after the swap in";
    ASSERT_NO_FATAL_FAILURE(round.RunTool());
    const RegSnapshot toolLeft = Snapshot(HKEY_CURRENT_USER, round.sub());
    ASSERT_EQ(tool.RestoreTool(), 1);
    ASSERT_EQ(Differences(round.AfterSwapOut(), Snapshot(HKEY_CURRENT_USER, round.sub())), "") << "after the swap out";

    ASSERT_EQ(tool.BackupTool(), 1);
    ASSERT_EQ(Differences(round.AfterNextSwapIn(toolLeft), Snapshot(HKEY_CURRENT_USER, round.sub())), "")
        << "after the next swap in";
    ASSERT_EQ(tool.RestoreTool(), 1);
    ASSERT_EQ(Differences(round.AfterSwapOut(), Snapshot(HKEY_CURRENT_USER, round.sub())), "")
        << "after the next swap out";
  }
}

}  // namespace
