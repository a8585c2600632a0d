// The promise of the swap, on random machines and random tools: once a tool has been swapped in
// (BackupTool), has run and has been swapped out (RestoreTool), the machine is what it was, byte for
// byte, and the tool's changes have gone into its folder, from which the next swap in puts them back.
// A round puts items of random kinds (kItemKinds) on the machine and writes a tool document whose
// "config" names them under every replace policy, in other letter cases, some in nested folders, and
// whose "install" class holds the tool's registrations for them, some permanent. Then: swap in, the
// tool changes its items, swap out, swap in, swap out, the machine compared each time with the model.
// The machine holds values of every type, REG_NONE and strings without their zero among them. What
// a swap cannot keep, the model expects:
//   - an item the machine has under "none", "ask" or "new" is left alone; the tool gets nothing there;
//   - a single-value item lives in a key the machine has;
//   - a permanent registry, association or service record wins over the tool's later change of its
//     item (a file's copy is taken again whatever its record says).
#include "tests/support/processes.h"
#include "tests/support/registration_docs.h"
#include "tests/support/services.h"

#include <gtest/gtest.h>
#include <shlwapi.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <set>

namespace {

const std::string kRounds = std::string(kTestRoot) + "\\Rounds";
const char kReg[] = "reg", kClasses[] = "cls", kFiles[] = "file", kServices[] = "svc";
const char* const kPolicies[] = {"", "always", "none", "ask", "new"};
const int kRoundCount = 200;

bool Protects(const std::string& policy) { return policy == "none" || policy == "ask" || policy == "new"; }

// A kind of registry value. plain: the text a tool record may give instead of Base64 (null: Base64
// only).
struct ValueKind {
  int weight;
  DWORD type;
  std::string (*data)(Random&);
  std::string (*plain)(const std::string& bytes);
};
const ValueKind kValueKinds[] = {
    {1, REG_SZ, [](Random& r) { return r.Chance(10) ? std::string(1, '\0') : r.Text(r.Chance(10) ? 261 + r.Pick(500) : r.Pick(30)) + '\0'; },
     [](const std::string& b) { return b.substr(0, b.size() - 1); }},
    {1, REG_SZ, [](Random& r) { return r.Text(1 + r.Pick(20)); }, nullptr},  // without its zero
    {1, REG_EXPAND_SZ, [](Random& r) { return (r.Chance(50) ? "%WINDIR%\\" : "%VANTEL_NOT_SET%") + r.Text(r.Pick(20)) + '\0'; }, nullptr},
    {1, REG_BINARY, [](Random& r) { return r.Bytes(r.Chance(15) ? 0 : r.Pick(r.Chance(20) ? 900 : 40)); }, nullptr},
    {1, REG_DWORD, [](Random& r) { return r.Bytes(4); },
     [](const std::string& b) { int32_t n; memcpy(&n, b.data(), sizeof n); return std::to_string(n); }},
    {1, REG_MULTI_SZ,
     [](Random& r) {
       std::string s;
       for (int n = r.Pick(4); n > 0; --n) s += r.Text(1 + r.Pick(12)) + '\0';
       return s + std::string(s.empty() ? 2 : 1, '\0');
     },
     nullptr},
    {1, REG_QWORD, [](Random& r) { return r.Bytes(8); }, nullptr},
    {1, REG_NONE, [](Random& r) { return r.Bytes(r.Chance(15) ? 0 : r.Pick(9)); }, nullptr},
};

// Value names: each kind with its weight.
const struct NameKind {
  int weight;
  std::string (*make)(Random&);
} kValueNames[] = {
    {20, [](Random&) { return std::string(); }},       // the key's default value
    {3, [](Random& r) { return r.Text(270); }},         // longer than a path
    {5, [](Random& r) { return "a\\b" + r.Text(3); }},  // value names may hold backslashes
    {72, [](Random& r) { return "v" + r.Text(1 + r.Pick(8)); }},
};

// A record of the tool's "install" class and what it puts on the machine.
struct ToolRecord {
  ToolRecord(Vars v, bool permanent) : vars(std::move(v)), wins(permanent) {}
  Vars vars;
  MachineState writes;
  bool wins;                      // permanent: it wins over the tool's later change of its item
  std::vector<std::string> item;  // what it then replaces whole (empty: only its writes)
  std::string file, content;      // a file record: the tool's copy, put into its storage folder
  bool folder = false;
};

struct Item {
  std::string what;
  bool leftAlone;
  std::vector<std::string> cleared;  // what the swap in takes off (entries, with all below them)
  std::function<void()> run;         // the tool at work on it
};

// A file, or a folder with a file and a folder in it, holding content.
void PutItem(const std::string& path, bool folder, const std::string& content) {
  if (!folder) return void(WriteTextFile(path, content));
  CreateDirectoryA(path.c_str(), nullptr);
  CreateDirectoryA((path + "\\sub").c_str(), nullptr);
  WriteTextFile(path + "\\inside.txt", content);
  WriteTextFile(path + "\\sub\\deep.bin", content + content);
}

struct Round {
  Round(unsigned seed, int index) : r(seed), sub(kRounds + "\\" + std::to_string(index)), env("VANTEL_SWAP_MACHINE", files.path()) {
    MakeKey(HKEY_CURRENT_USER, sub);
    WriteTextFile(files / "untouched.txt", "not the tool's");
    view.WatchKey(HKEY_CURRENT_USER, sub, "", kReg);
    view.WatchFolder(files.path());
  }

  // ---- What the machine must hold ----

  MachineState AfterSwapIn() const {
    MachineState s = before;
    for (const Item& i : items)
      for (const std::string& top : i.cleared)
        if (!i.leftAlone) RemoveBelow(s, top);
    for (const ToolRecord& t : records)
      for (const auto& w : t.writes) s[w.first] = w.second;
    return s;
  }
  MachineState AfterSwapOut() const { return before; }
  MachineState AfterNextSwapIn(MachineState s) const {
    for (const ToolRecord& t : records) {
      if (!t.wins) continue;
      for (const std::string& top : t.item) RemoveBelow(s, top);
      for (const auto& w : t.writes) s[w.first] = w.second;
    }
    return s;
  }

  // ---- Building blocks ----

  Item& NewItem(const std::string& what, bool leftAlone, std::vector<std::string> cleared, Vars config, const std::string& policy) {
    if (!policy.empty()) config.push_back({"replace", policy});
    if (r.Chance(20)) config.push_back({"permanent", r.Chance(50) ? "yes" : "no"});  // not read in "config"
    configs.push_back(config);
    items.push_back(Item{what + " replace \"" + policy + "\"", leftAlone, std::move(cleared), nullptr});
    return items.back();
  }
  ToolRecord& NewRecord(Vars vars, bool permanent) {
    if (permanent) vars.push_back({"permanent", "yes"});
    return records.emplace_back(vars, permanent);
  }
  // A record's key text (the root now and then in lower case); another letter case now and then.
  std::string KeyText(const std::string& path) {
    return (r.Chance(15) ? "hkey_current_user\\" : "HKEY_CURRENT_USER\\") + sub + (path.empty() ? "" : "\\" + path);
  }
  std::string Respell(std::string name) {
    const bool respell = r.Chance(25);
    for (char& c : name)
      if (respell && ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) && r.Chance(50)) c ^= 0x20;  // ASCII letters
    return name;
  }
  std::string FreshKeyName(std::set<std::wstring>& used, const char* prefix) {
    for (;;) {
      std::string name = prefix + r.Text(1 + r.Pick(10));
      while (!name.empty() && name.back() == ' ') name.pop_back();
      if (!name.empty() && name[0] != ' ' && used.insert(Fold(Wide(name))).second) return name;
    }
  }
  std::string FreshValueName(std::set<std::wstring>& used) {
    for (;;)
      if (std::string name = r.Weighted(kValueNames).make(r); used.insert(Fold(Wide(name))).second) return name;
  }
  void SetRandom(const std::string& key, const std::string& name) {
    const ValueKind& kind = r.Weighted(kValueKinds);
    ASSERT_TRUE(SetRaw(HKEY_CURRENT_USER, key, name, kind.type, kind.data(r))) << key << " : " << name;
  }
  std::string Key(const std::string& path) const { return sub + "\\" + path; }

  // ---- Registry keys and values ----

  // Values of every kind and subkeys three deep; the names of the key's values, and its subkeys.
  std::pair<std::vector<std::string>, std::vector<std::string>> FillKey(const std::string& path, int depth) {
    std::set<std::wstring> used, keys;
    std::vector<std::string> names, children;
    MakeKey(HKEY_CURRENT_USER, Key(path));
    for (int n = r.Pick(5) + (r.Chance(30) ? 1 : 0); n > 0; --n) {
      names.push_back(FreshValueName(used));
      SetRandom(Key(path), names.back());
    }
    for (int n = depth >= 3 ? 0 : r.Pick(depth == 0 ? 4 : 3); n > 0; --n) {
      children.push_back(path + "\\" + FreshKeyName(keys, ""));
      FillKey(children.back(), depth + 1);
    }
    return {names, children};
  }

  // A key below the round's: absent and named whole, or present and named whole, by some of its
  // values, with a subkey named whole, or both.
  void AddRegistryKey() {
    const std::string top = FreshKeyName(tops, "");
    if (r.Chance(30)) return AddArea(true, top, "");
    const auto [names, children] = FillKey(top, 0);
    const int choice = r.Pick(100);
    if (choice < 35) return AddArea(true, top, "");
    std::set<std::wstring> taken, none;
    for (int n = choice < 85 ? 1 + r.Pick(3) : 0; n > 0; --n) {
      const std::string name = !names.empty() && r.Chance(70) ? r.Of(names) : r.Chance(30) ? "" : FreshValueName(none);
      if (taken.insert(Fold(Wide(name))).second) AddArea(false, top, name);
    }
    if (choice >= 60) AddArea(true, !children.empty() && r.Chance(60) ? r.Of(children) : top + "\\" + FreshKeyName(none, ""), "");
  }

  void AddArea(bool wholeKey, const std::string& path, const std::string& name) {
    const std::string policy = kPolicies[r.Pick(5)], spelt = Respell(path);
    // Whether the machine has it, as the swap asks: for the default value, whether its key exists.
    const bool present = wholeKey || name.empty() ? HasKey(HKEY_CURRENT_USER, Key(path)) : HasValue(HKEY_CURRENT_USER, Key(path), name);
    Vars config = {{"type", "register"}, {"key", KeyText(spelt)}};
    if (!wholeKey) config.push_back({"name", Respell(name)});
    Item& item = NewItem((wholeKey ? "key " : "value \"" + name + "\" of ") + path, present && Protects(policy),
                         {wholeKey ? Entry(kReg, path) : ValueEntry(kReg, path, name)}, config, policy);
    const bool records = !item.leftAlone && r.Chance(75);
    if (!wholeKey) {
      if (records) AddToolValue(spelt, name);
      item.run = [this, path, name] {  // the tool sets, deletes or keeps its value
        const int what = r.Pick(3);
        if (what == 0) SetRandom(Key(path), name);
        if (what == 1) SHDeleteValueA(HKEY_CURRENT_USER, Key(path).c_str(), name.c_str());
      };
      return;
    }
    // The tool's values in the key and in new subkeys of it, and bare keys.
    std::vector<std::string> keys = {spelt};
    std::vector<std::pair<std::string, std::string>> values;
    std::set<std::wstring> used, taken, any;
    for (int n = records ? r.Pick(7) : 0; n > 0; --n) {
      const std::string at = r.Of(keys), name = FreshValueName(any);
      if (r.Chance(35) && at.size() < 120) {
        keys.push_back(at + "\\" + FreshKeyName(used, "t"));
        if (r.Chance(40)) AddToolKey(keys.back());
      } else if (taken.insert(Fold(Wide(at + "\n" + name))).second) {
        values.push_back({at, name});
        AddToolValue(at, name);
      }
    }
    if (records && r.Chance(30)) AddToolKey(spelt);
    item.run = [this, keys, values] { RunOnKey(keys, values); };
  }
  void AddToolKey(const std::string& path) {
    PutKey(NewRecord({{"type", "register"}, {"key", KeyText(path)}}, r.Chance(20)).writes, kReg, path);
  }
  void AddToolValue(const std::string& path, const std::string& name) {
    const ValueKind& kind = r.Weighted(kValueKinds);
    const std::string bytes = kind.data(r);
    Vars vars = {{"type", "register"}, {"key", KeyText(path)}, {"name", name}, {"regtype", std::to_string(kind.type)}};
    if (kind.plain && r.Chance(20)) {
      vars.push_back({"value", kind.plain(bytes)});
    } else if (r.Chance(30)) {  // the bytes as the Unicode functions hold them, as a capture records them
      const std::vector<BYTE> wide = WideData(kind.type, bytes);
      vars.insert(vars.end(), {{"encode", "wide"}, {"value", Base64(std::string(wide.begin(), wide.end()))}});
    } else {
      vars.insert(vars.end(), {{"encode", "yes"}, {"value", Base64(bytes)}});
    }
    PutValue(NewRecord(vars, r.Chance(20)).writes, kReg, path, name, kind.type, bytes);
  }

  // The tool at work in a key it owns: it sets, deletes and makes values and keys there.
  void RunOnKey(std::vector<std::string> keys, const std::vector<std::pair<std::string, std::string>>& values) {
    std::set<std::wstring> none;
    for (int n = r.Pick(6); n > 0; --n) {
      const auto value = values.empty() || r.Chance(50) ? std::make_pair(r.Of(keys), FreshValueName(none)) : r.Of(values);
      const int what = r.Pick(5);
      if (what < 2) SetRandom(Key(value.first), value.second);
      if (what == 2) SHDeleteValueA(HKEY_CURRENT_USER, Key(value.first).c_str(), value.second.c_str());
      if (what == 3) keys.push_back(value.first + "\\" + FreshKeyName(none, "t"));
      if (what == 3 && r.Chance(50)) SetRandom(Key(keys.back()), FreshValueName(none));
      else if (what == 3) MakeKey(HKEY_CURRENT_USER, Key(keys.back()));
      if (what == 4) SHDeleteKeyA(HKEY_CURRENT_USER, Key(r.Of(keys)).c_str());
    }
  }

  // ---- Files, associations, services ----

  void AddFile() {
    const char* const names[] = {"a.txt", "B.cfg", "data", "\xC4\xE3\xBA\xC3.ini", "x y.dat"};
    const std::string name = std::to_string(items.size()) + names[r.Pick(5)], path = files / name, policy = kPolicies[r.Pick(5)];
    const bool folder = r.Chance(25), present = r.Chance(65);
    if (present) PutItem(path, folder, "machine " + r.Bytes(r.Pick(300)));
    // The record names the file through the environment or with its full path.
    const Vars vars = {{"type", "file"}, {"file", r.Chance(50) ? "%VANTEL_SWAP_MACHINE%\\" + name : path}};
    Item& item = NewItem("file " + path, present && Protects(policy), {Entry(kFiles, name)}, vars, policy);
    item.run = [this, path, folder] {
      const int what = r.Pick(3);
      if (what < 2) RemoveTree(path);
      if (what == 0) PutItem(path, folder, "changed " + r.Bytes(r.Pick(200)));
    };
    if (item.leftAlone || !r.Chance(75)) return;
    ToolRecord& t = NewRecord(vars, false);
    if (r.Chance(25)) t.vars.push_back({"permanent", "yes"});  // the capture takes its copy again all the same
    t.file = name;
    t.folder = folder;
    t.content = "tool " + r.Bytes(r.Pick(300));
  }

  // An association's texts: the class and some of the rest, paths in full (the write-back places
  // relative ones under the document's folder). With the class's texts in the extension's key, the
  // class's name is the extension's default value.
  Vars AssociationRecord(const std::string& ext, const std::string& document, const std::string& owner) {
    Vars vars = {{"extension", ext}, {"document", document}, {"name", document.find('\\') == std::string::npos ? owner + " document" : document}};
    for (const std::string var : {"contenttype", "friendlyname", "url", "icon", "open", "edit", "print", "clsid"})
      if (r.Chance(50)) vars.push_back({var, var == "url" ? "yes" : "\"C:\\" + owner + "\\" + var + ".exe\" \"%1\""});
    return vars;
  }
  void AddAssociation() {
    const std::string n = std::to_string(items.size()), ext = ".vantelswaptest" + n, policy = kPolicies[r.Pick(5)];
    // A class name with a backslash keeps the class's texts in the extension's own key.
    const std::string machineClass = r.Chance(20) ? "VantelSwapTest\\Ext" + n : "VantelSwapTest.Machine" + n;
    const std::string toolClass = r.Chance(20) ? machineClass : "VantelSwapTest.Tool" + n;
    const std::string machineKey = machineClass.find('\\') == std::string::npos ? machineClass : ext;
    const std::string toolKey = toolClass.find('\\') == std::string::npos ? toolClass : ext;
    for (const std::string& key : {ext, machineClass, toolClass, std::string("VantelSwapTest")}) {
      cleanups.emplace_back(new KeyCleanup(HKEY_CLASSES_ROOT, key));
      view.WatchKey(HKEY_CLASSES_ROOT, "", key, kClasses);
    }
    const bool present = r.Chance(70);
    for (const ClassText& t : AssociationTexts(present ? AssociationRecord(ext, machineClass, "Machine \xC4\xE3") : Vars(), machineKey))
      ASSERT_TRUE(SetText(HKEY_CLASSES_ROOT, t.key, t.name, t.text));
    Item& item = NewItem("association " + ext + " of " + machineClass + ", the tool's " + toolClass, present && Protects(policy),
                         {Entry(kClasses, ext), Entry(kClasses, machineKey)}, {{"type", "association"}, {"extension", ext}}, policy);
    if (item.leftAlone || !r.Chance(80)) return;
    Vars vars = AssociationRecord(ext, toolClass, "Tool");
    ToolRecord& t = NewRecord(vars, r.Chance(30));
    t.vars.insert(t.vars.begin(), {"type", "association"});
    t.item = {Entry(kClasses, ext), Entry(kClasses, toolKey)};
    for (const ClassText& text : AssociationTexts(vars, toolKey)) PutText(t.writes, kClasses, text.key, text.name, text.text);
    item.run = [toolKey] {
      SetText(HKEY_CLASSES_ROOT, toolKey + "\\Shell\\Open\\Command", "", "\"C:\\Tools\\tool2.exe\" /o \"%1\"");
      SetText(HKEY_CLASSES_ROOT, toolKey, "FriendlyTypeName", "Changed by the tool");
    };
  }

  void AddService() {
    const std::string name = "VantelSwapTestSvc" + std::to_string(items.size()), image = BinFolder() + "\\sysreg_service.exe";
    const std::string policy = kPolicies[r.Pick(5)];
    services.emplace_back(new ServiceGuard(name));
    view.WatchService(name);
    // The machine's service is known by its name, whatever its display name.
    const bool present = r.Chance(60);
    const char* dependencies = r.Chance(50) ? "VantelSwapTestA\0VantelSwapTestB\0" : nullptr;
    ASSERT_TRUE(!present || MakeDisabledService(name, r.Chance(50) ? name : "Machine's", image + " machine", dependencies, "the machine's own"));
    Item& item = NewItem("service " + name, present && Protects(policy), {Entry(kServices, name)}, {{"type", "service"}, {"name", name}}, policy);
    if (item.leftAlone || !r.Chance(80)) return;
    // As the service manager shows the tool's record, with the defaults: type, error control, account.
    const ServiceConfig tool{true, SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, 0, image + " tool", "", "",
                             "LocalSystem", name + " of the tool", "the tool's", true};
    ToolRecord& t = NewRecord({{"type", "service"}, {"name", name}, {"file", tool.path}, {"start", "3"}, {"displayname", tool.display},
                               {"description", tool.description}},
                              r.Chance(30));
    t.item = {Entry(kServices, name)};
    t.writes[Entry(kServices, name)] = ServiceState(tool);
    item.run = [name] { ASSERT_TRUE(SetServiceDescription(name, "changed by the tool")); };
  }

  // ---- The tool's document and folder ----

  void WriteToolDocument() {
    auto doc = NewDoc(tool.MyDoc());
    ASSERT_TRUE(doc);
    doc->SetAutoSaveFlag(0);
    std::vector<CVFDLNode*> groups = {doc->GetClassNode("config", 1)};
    for (const Vars& vars : configs) {
      if (r.Chance(15)) groups.push_back(AddFolder(*doc, r.Of(groups), "group"));
      ASSERT_TRUE(AddRecord(*doc, r.Of(groups), vars));
    }
    std::shuffle(records.begin(), records.end(), r.engine());
    std::vector<CVFDLNode*> parts = {doc->GetClassNode("install", 1)};
    for (ToolRecord& t : records) {
      if (r.Chance(10)) parts.push_back(AddFolder(*doc, r.Of(parts), "part"));
      CVFDLNode* node = AddRecord(*doc, r.Of(parts), t.vars);
      ASSERT_TRUE(node);
      if (t.file.empty()) continue;
      const std::string storage = std::string(tool.m_strMyPath) + "\\" + std::string(node->GetID());
      ASSERT_TRUE(CreateDirectoryA(storage.c_str(), nullptr));
      PutItem(storage + "\\" + t.file, t.folder, t.content);
      for (const auto& f : ListTree(Wide(storage))) t.writes[Entry(kFiles, f.first)] = f.second;
    }
    ASSERT_EQ(doc->SaveXMLDoc(0), 1);
  }


  Random r;
  std::string sub;
  ScratchFolder files{"files"};
  EnvGuard env;
  ScratchTool tool{"round"};
  MachineView view;
  MachineState before;
  std::set<std::wstring> tops;
  std::vector<Item> items;
  std::vector<Vars> configs;
  std::vector<ToolRecord> records;
  std::vector<std::unique_ptr<KeyCleanup>> cleanups;
  std::vector<std::unique_ptr<ServiceGuard>> services;
};

// Each kind of item, and how often a round takes one.
const struct ItemKind {
  const char* name;
  int weight;
  void (Round::*add)();
} kItemKinds[] = {
    {"registry key", 80, &Round::AddRegistryKey},
    {"file", 12, &Round::AddFile},
    {"association", 5, &Round::AddAssociation},
    {"service", 2, &Round::AddService},
};

TEST(RoundTrip, NothingOfTheMachineIsLostAndTheToolKeepsItsOwn) {
  KeyCleanup rounds(HKEY_CURRENT_USER, kRounds);
  const unsigned base = BaseSeed();
  std::map<std::string, int> made;
  for (int index = 0; index < kRoundCount; ++index) {
    const unsigned seed = base * 7919u + static_cast<unsigned>(index);
    SCOPED_TRACE("round " + std::to_string(index) + ", seed " + std::to_string(seed) + " (VANTEL_SWAP_SEED=" + std::to_string(base) + ")");
    Round round(seed, index);
    for (int n = 2 + round.r.Pick(4); n > 0; --n) {
      const ItemKind& kind = round.r.Weighted(kItemKinds);
      ++made[kind.name];
      ASSERT_NO_FATAL_FAILURE((round.*kind.add)());
    }
    round.before = round.view.Observe();
    ASSERT_NO_FATAL_FAILURE(round.WriteToolDocument());
    std::string items;
    for (const Item& i : round.items) items += "  " + i.what + (i.leftAlone ? " (left to the machine)\n" : "\n");
    SCOPED_TRACE("items:\n" + items);

    ASSERT_EQ(round.tool.BackupTool(), 1);
    ASSERT_EQ(round.view.Settled(round.AfterSwapIn()), "") << "after the swap in";
    for (const Item& i : round.items)
      if (!i.leftAlone && i.run) {
        ASSERT_NO_FATAL_FAILURE(i.run());
      }
    const MachineState toolLeft = round.view.Observe();
    ASSERT_EQ(round.tool.RestoreTool(), 1);
    ASSERT_EQ(round.view.Settled(round.AfterSwapOut()), "") << "after the swap out";
    ASSERT_EQ(round.tool.BackupTool(), 1);
    ASSERT_EQ(round.view.Settled(round.AfterNextSwapIn(toolLeft)), "") << "after the next swap in";
    ASSERT_EQ(round.tool.RestoreTool(), 1);
    ASSERT_EQ(round.view.Settled(round.AfterSwapOut()), "") << "after the next swap out";
  }
  for (const ItemKind& kind : kItemKinds) EXPECT_GT(made[kind.name], 0) << "no round made a " << kind.name;
}

}  // namespace
