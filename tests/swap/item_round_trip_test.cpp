// Round trips of the other kinds of item through the tool package's swap in and out: files and
// folders, file associations and services. As for the registry, the machine must come out as it
// went in, and the tool's changes must come back with its next swap in.
#include "tests/support/processes.h"
#include "tests/support/registration_docs.h"
#include "tests/support/registry.h"
#include "tests/support/services.h"

#include <gtest/gtest.h>
#include <shlwapi.h>

#include <map>
#include <random>

namespace {

// ---- Files -------------------------------------------------------------------------------------

// A folder's content: relative path (lower case) -> file content, or "<folder>".
using FolderContent = std::map<std::string, std::string>;

void ReadFolder(const std::string& folder, const std::string& relative, FolderContent& out) {
  WIN32_FIND_DATAA found;
  FindHandle search(FindFirstFileA((folder + (relative.empty() ? "" : "\\" + relative) + "\\*").c_str(), &found));
  if (!search) return;
  do {
    std::string name = found.cFileName;
    if (name == "." || name == "..") continue;
    std::string rel = relative.empty() ? name : relative + "\\" + name;
    std::string key = rel;
    for (char& c : key) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      out[key] = "<folder>";
      ReadFolder(folder, rel, out);
    } else {
      out[key] = ReadTextFile(folder + "\\" + rel);
    }
  } while (FindNextFileA(search.get(), &found));
}

FolderContent Contents(const std::string& folder) {
  FolderContent c;
  ReadFolder(folder, "", c);
  return c;
}

std::string Differences(const FolderContent& expected, const FolderContent& actual) {
  std::string out;
  for (const auto& e : expected) {
    auto it = actual.find(e.first);
    if (it == actual.end())
      out += "missing " + e.first + "\n";
    else if (it->second != e.second)
      out += "changed " + e.first + ": \"" + e.second.substr(0, 40) + "\" -> \"" + it->second.substr(0, 40) + "\"\n";
  }
  for (const auto& a : actual)
    if (!expected.count(a.first)) out += "extra " + a.first + "\n";
  return out;
}

void PutItem(const std::string& path, bool folder, const std::string& content) {
  if (folder) {
    CreateDirectoryA(path.c_str(), nullptr);
    WriteTextFile(path + "\\inside.txt", content);
    CreateDirectoryA((path + "\\sub").c_str(), nullptr);
    WriteTextFile(path + "\\sub\\deep.bin", content + content);
  } else {
    WriteTextFile(path, content);
  }
}

std::string RandomBytes(std::mt19937& rng, int most) {
  std::string s(rng() % static_cast<unsigned>(most), '\0');
  for (char& c : s) c = static_cast<char>(rng() % 256);
  return s;
}

TEST(FileRoundTrip, FilesAndFoldersComeBackAndTheToolKeepsItsCopies) {
  const unsigned base = BaseSeed();
  for (int index = 0; index < 12; ++index) {
    const unsigned seed = base * 31u + static_cast<unsigned>(index);
    SCOPED_TRACE("round " + std::to_string(index) + ", seed " + std::to_string(seed));
    std::mt19937 rng(seed);
    auto chance = [&](int percent) { return static_cast<int>(rng() % 100) < percent; };
    ScratchFolder machine("files");
    EnvGuard env("VANTEL_SWAP_MACHINE", machine.path());
    ScratchTool tool("filetool");

    struct Item {
      std::string name;
      bool folder, present, leftAlone, toolRecord;
    };
    std::vector<Item> items;
    const char* const names[] = {"a.txt", "B.cfg", "data", "\xC4\xE3\xBA\xC3.ini", "x y.dat", "Folder"};
    for (const char* name : names) {
      if (!chance(75)) continue;
      Item it{name, chance(25), chance(65), false, false};
      if (it.present) PutItem(machine / it.name, it.folder, "machine " + RandomBytes(rng, 300));
      items.push_back(it);
    }
    WriteTextFile(machine / "untouched.txt", "not the tool's");
    const FolderContent before = Contents(machine.path());
    {
      auto own = NewDoc(tool.MyDoc());
      ASSERT_TRUE(own);
      const char* const policies[] = {"", "always", "none", "ask", "new"};
      for (Item& it : items) {
        std::string policy = policies[rng() % 5];
        it.leftAlone = it.present && (policy == "none" || policy == "ask" || policy == "new");
        // The record names the file through the environment or with its full path.
        std::string text = chance(50) ? "%VANTEL_SWAP_MACHINE%\\" + it.name : machine / it.name;
        Vars vars = {{"type", "file"}, {"file", text}};
        if (!policy.empty()) vars.push_back({"replace", policy});
        ASSERT_TRUE(AddRecord(*own, own->GetClassNode("config", 1), vars));
        it.toolRecord = !it.leftAlone && chance(75);
        if (!it.toolRecord) continue;
        Vars install = {{"type", "file"}, {"file", text}};
        if (chance(25)) install.push_back({"permanent", "yes"});
        CVFDLNode* rec = AddRecord(*own, own->GetClassNode("install", 1), install);
        ASSERT_TRUE(rec);
        const std::string storage = std::string(tool.m_strMyPath) + "\\" + std::string(rec->GetID());
        ASSERT_TRUE(CreateDirectoryA(storage.c_str(), nullptr));
        PutItem(storage + "\\" + it.name, it.folder, "tool " + RandomBytes(rng, 300));
      }
    }

    ASSERT_EQ(tool.BackupTool(), 1);
    FolderContent in = Contents(machine.path());
    for (const Item& it : items) {
      std::string key = it.name;
      for (char& c : key) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
      if (it.leftAlone) {
        EXPECT_EQ(in[key], before.at(key)) << it.name;
      } else if (it.toolRecord) {
        EXPECT_EQ(in[it.folder ? key + "\\inside.txt" : key].substr(0, 5), "tool ") << it.name;
      } else {
        EXPECT_EQ(in.count(key), 0u) << it.name;
      }
    }
    EXPECT_EQ(in["untouched.txt"], "not the tool's");

    // The tool changes, deletes and makes its files.
    for (const Item& it : items) {
      if (it.leftAlone) continue;
      const std::string path = machine / it.name;
      int what = static_cast<int>(rng() % 3);
      if (what == 0) {
        RemoveTree(path);
        PutItem(path, it.folder, "changed " + RandomBytes(rng, 200));
      } else if (what == 1) {
        RemoveTree(path);
      }
    }
    const FolderContent toolLeft = Contents(machine.path());
    ASSERT_EQ(tool.RestoreTool(), 1);
    ASSERT_EQ(Differences(before, Contents(machine.path())), "") << "after the swap out";

    ASSERT_EQ(tool.BackupTool(), 1);
    ASSERT_EQ(Differences(toolLeft, Contents(machine.path())), "") << "after the next swap in";
    ASSERT_EQ(tool.RestoreTool(), 1);
    ASSERT_EQ(Differences(before, Contents(machine.path())), "") << "after the next swap out";
  }
}

// ---- Associations ----------------------------------------------------------------------------

// What the association's keys hold: the extension's key and every class key named.
struct AssociationKeys {
  RegSnapshot ext, machineClass, toolClass;
};

struct Association {
  std::string ext, machineClass, toolClass;
  bool present = false, leftAlone = false, hasToolRecord = false, permanent = false;
};

// The key that holds a class's texts: the class key, or the extension's own key when the class
// name holds a backslash.
std::string ClassKey(const std::string& document, const std::string& ext) {
  return document.find('\\') == std::string::npos ? document : ext;
}

AssociationKeys Read(const Association& a) {
  return {Snapshot(HKEY_CLASSES_ROOT, a.ext), Snapshot(HKEY_CLASSES_ROOT, a.machineClass),
          Snapshot(HKEY_CLASSES_ROOT, a.toolClass)};
}

std::string Differences(const AssociationKeys& e, const AssociationKeys& a) {
  return Differences(e.ext, a.ext) + Differences(e.machineClass, a.machineClass) +
         Differences(e.toolClass, a.toolClass);
}

TEST(AssociationRoundTrip, TheMachinesAssociationsComeBackAndTheToolKeepsItsOwn) {
  const unsigned base = BaseSeed();
  for (int index = 0; index < 8; ++index) {
    const unsigned seed = base * 17u + static_cast<unsigned>(index);
    SCOPED_TRACE("round " + std::to_string(index) + ", seed " + std::to_string(seed));
    std::mt19937 rng(seed);
    auto chance = [&](int percent) { return static_cast<int>(rng() % 100) < percent; };
    ScratchTool tool("assoctool");
    std::vector<Association> list;
    std::vector<std::unique_ptr<KeyCleanup>> cleanups;
    for (int n = 0; n < 3; ++n) {
      Association a;
      a.ext = ".vantelswaptest" + std::to_string(n);
      // A class name with a backslash keeps everything in the extension's own key.
      a.machineClass = chance(20) ? "VantelSwapTest\\Ext" + std::to_string(n) : "VantelSwapTest.Machine" + std::to_string(n);
      a.toolClass = chance(20) ? a.machineClass : "VantelSwapTest.Tool" + std::to_string(n);
      cleanups.emplace_back(new KeyCleanup(HKEY_CLASSES_ROOT, a.ext));
      cleanups.emplace_back(new KeyCleanup(HKEY_CLASSES_ROOT, a.machineClass));
      cleanups.emplace_back(new KeyCleanup(HKEY_CLASSES_ROOT, a.toolClass));
      cleanups.emplace_back(new KeyCleanup(HKEY_CLASSES_ROOT, "VantelSwapTest"));
      a.present = chance(70);
      if (a.present) {
        // Only what an association record carries, and full paths (the write-back places
        // relative ones under the document's folder).
        ASSERT_TRUE(SetText(HKEY_CLASSES_ROOT, a.ext, "", a.machineClass));
        std::string cls = ClassKey(a.machineClass, a.ext);
        if (chance(50)) SetText(HKEY_CLASSES_ROOT, a.ext, "Content Type", "application/x-vantel-" + std::to_string(n));
        // (With the class texts in the extension's key, its default value is the class name.)
        if (cls != a.ext) SetText(HKEY_CLASSES_ROOT, cls, "", "Machine document " + std::to_string(n));
        if (chance(50)) SetText(HKEY_CLASSES_ROOT, cls, "FriendlyTypeName", "Machine \xC4\xE3\xBA\xC3");
        if (chance(30)) SetText(HKEY_CLASSES_ROOT, cls, "URL Protocol", "");
        if (chance(60)) SetText(HKEY_CLASSES_ROOT, cls + "\\DefaultIcon", "", "C:\\Program Files\\Machine\\m.exe,2");
        SetText(HKEY_CLASSES_ROOT, cls + "\\Shell\\Open\\Command", "", "\"C:\\Program Files\\Machine\\m.exe\" \"%1\"");
        if (chance(40)) SetText(HKEY_CLASSES_ROOT, cls + "\\Shell\\Edit\\Command", "", "C:\\Machine\\edit.exe %1");
        if (chance(40)) SetText(HKEY_CLASSES_ROOT, cls + "\\Shell\\Print\\Command", "", "C:\\Machine\\print.exe /p %1");
        if (chance(30)) SetText(HKEY_CLASSES_ROOT, cls + "\\CLSID", "", "{12345678-0000-0000-0000-00000000000" + std::to_string(n) + "}");
      }
      list.push_back(a);
    }
    std::vector<AssociationKeys> before;
    for (const Association& a : list) before.push_back(Read(a));
    {
      auto own = NewDoc(tool.MyDoc());
      ASSERT_TRUE(own);
      const char* const policies[] = {"", "always", "none", "new"};
      for (Association& a : list) {
        std::string policy = policies[rng() % 4];
        a.leftAlone = a.present && (policy == "none" || policy == "new");
        Vars vars = {{"type", "association"}, {"extension", a.ext}};
        if (!policy.empty()) vars.push_back({"replace", policy});
        ASSERT_TRUE(AddRecord(*own, own->GetClassNode("config", 1), vars));
        a.hasToolRecord = !a.leftAlone && chance(80);
        if (!a.hasToolRecord) continue;
        Vars install = {{"type", "association"},
                        {"extension", a.ext},
                        {"document", a.toolClass},
                        // With its texts in the extension's key, the class's name is the
                        // extension's default value, which is the class name.
                        {"name", ClassKey(a.toolClass, a.ext) == a.ext ? a.toolClass : "Tool document"},
                        {"open", "\"C:\\Tools\\tool.exe\" \"%1\""},
                        {"icon", "C:\\Tools\\tool.exe,0"}};
        if (chance(50)) install.push_back({"friendlyname", "Tool \xC4\xE3"});
        if (chance(30)) install.push_back({"url", "yes"});
        a.permanent = chance(30);
        if (a.permanent) install.push_back({"permanent", "yes"});
        ASSERT_TRUE(AddRecord(*own, own->GetClassNode("install", 1), install));
      }
    }

    ASSERT_EQ(tool.BackupTool(), 1);
    for (size_t i = 0; i < list.size(); ++i) {
      const Association& a = list[i];
      SCOPED_TRACE(a.ext);
      if (a.leftAlone) {
        EXPECT_EQ(Differences(before[i], Read(a)), "");
      } else if (a.hasToolRecord) {
        const std::string cls = ClassKey(a.toolClass, a.ext);
        EXPECT_EQ(TextOf(HKEY_CLASSES_ROOT, a.ext, ""), a.toolClass);
        EXPECT_EQ(TextOf(HKEY_CLASSES_ROOT, cls, ""), cls == a.ext ? a.toolClass : "Tool document");
        EXPECT_EQ(TextOf(HKEY_CLASSES_ROOT, cls + "\\Shell\\Open\\Command", ""), "\"C:\\Tools\\tool.exe\" \"%1\"");
        EXPECT_EQ(TextOf(HKEY_CLASSES_ROOT, cls + "\\DefaultIcon", ""), "C:\\Tools\\tool.exe,0");
        if (a.machineClass != a.toolClass && a.machineClass.find('\\') == std::string::npos) {
          EXPECT_FALSE(HasKey(HKEY_CLASSES_ROOT, a.machineClass));
        }
      } else {
        EXPECT_FALSE(HasKey(HKEY_CLASSES_ROOT, a.ext));
      }
    }
    std::vector<AssociationKeys> afterIn;
    for (const Association& a : list) afterIn.push_back(Read(a));
    // The tool changes its association.
    for (const Association& a : list) {
      if (!a.hasToolRecord) continue;
      const std::string cls = ClassKey(a.toolClass, a.ext);
      ASSERT_TRUE(SetText(HKEY_CLASSES_ROOT, cls + "\\Shell\\Open\\Command", "", "\"C:\\Tools\\tool2.exe\" /o \"%1\""));
      ASSERT_TRUE(SetText(HKEY_CLASSES_ROOT, cls, "FriendlyTypeName", "Changed by the tool"));
    }
    // The next swap in shows the tool's changes, unless its record is permanent: that one is
    // kept as it was written.
    std::vector<AssociationKeys> toolLeft;
    for (size_t i = 0; i < list.size(); ++i) toolLeft.push_back(list[i].permanent ? afterIn[i] : Read(list[i]));
    ASSERT_EQ(tool.RestoreTool(), 1);
    for (size_t i = 0; i < list.size(); ++i)
      ASSERT_EQ(Differences(before[i], Read(list[i])), "") << list[i].ext << " after the swap out";

    ASSERT_EQ(tool.BackupTool(), 1);
    for (size_t i = 0; i < list.size(); ++i)
      ASSERT_EQ(Differences(toolLeft[i], Read(list[i])), "") << list[i].ext << " after the next swap in";
    ASSERT_EQ(tool.RestoreTool(), 1);
    for (size_t i = 0; i < list.size(); ++i)
      ASSERT_EQ(Differences(before[i], Read(list[i])), "") << list[i].ext << " after the next swap out";
  }
}

// ---- Services --------------------------------------------------------------------------------

bool Running(const std::string& name) { return Has(ScQuery(name), "RUNNING"); }

TEST(ServiceRoundTrip, TheMachinesServiceComesBackAndTheToolsServiceGoes) {
  const std::string kept = "VantelSwapTestSvcM", added = "VantelSwapTestSvcT";
  ServiceGuard keptGuard(kept), addedGuard(added);
  const std::string image = BinFolder() + "\\sysreg_service.exe";
  {
    ServiceHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    ASSERT_TRUE(manager);
    ServiceHandle service(CreateServiceA(manager.get(), kept.c_str(), "Vantel Swap Test Machine", SERVICE_ALL_ACCESS,
                                         SERVICE_WIN32_OWN_PROCESS, SERVICE_DISABLED, SERVICE_ERROR_IGNORE,
                                         (image + " machine").c_str(), nullptr, nullptr, nullptr, nullptr, nullptr));
    ASSERT_TRUE(service) << GetLastError();
    char text[] = "the machine's own";
    SERVICE_DESCRIPTIONA description = {text};
    ASSERT_TRUE(ChangeServiceConfig2A(service.get(), SERVICE_CONFIG_DESCRIPTION, &description));
  }
  const ServiceConfig machine = QueryService(kept);
  ASSERT_TRUE(machine.exists);
  ASSERT_FALSE(QueryService(added).exists);

  ScratchTool tool("svctool");
  {
    auto own = NewDoc(tool.MyDoc());
    ASSERT_TRUE(own);
    CVFDLNode* config = own->GetClassNode("config", 1);
    AddRecord(*own, config, {{"type", "service"}, {"name", kept}});
    AddRecord(*own, config, {{"type", "service"}, {"name", added}, {"replace", "none"}});
    CVFDLNode* install = own->GetClassNode("install", 1);
    for (const std::string& name : {kept, added})
      AddRecord(*own, install, {{"type", "service"}, {"name", name}, {"file", image + " tool"}, {"start", "3"},
                                {"displayname", name + " of the tool"}, {"description", "the tool's"}});
  }

  ASSERT_EQ(tool.BackupTool(), 1);
  for (const std::string& name : {kept, added}) {
    ServiceConfig c = QueryService(name);
    EXPECT_EQ(c.path, image + " tool") << name;
    EXPECT_EQ(c.start, static_cast<DWORD>(SERVICE_DEMAND_START)) << name;
    EXPECT_EQ(c.description, "the tool's") << name;
    EXPECT_TRUE(WaitUntil([&] { return Running(name); }, 10000)) << name;
  }
  // The tool changes its services' descriptions.
  for (const std::string& name : {kept, added}) {
    ServiceHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
    ServiceHandle service(OpenServiceA(manager.get(), name.c_str(), SERVICE_CHANGE_CONFIG));
    char text[] = "changed by the tool";
    SERVICE_DESCRIPTIONA description = {text};
    ASSERT_TRUE(ChangeServiceConfig2A(service.get(), SERVICE_CONFIG_DESCRIPTION, &description));
  }
  const ServiceConfig toolKept = QueryService(kept), toolAdded = QueryService(added);

  ASSERT_EQ(tool.RestoreTool(), 1);
  EXPECT_EQ(Describe(QueryService(kept)), Describe(machine));
  EXPECT_FALSE(Running(kept));
  EXPECT_TRUE(WaitUntil([&] { return !QueryService(added).exists; }, 15000));

  ASSERT_EQ(tool.BackupTool(), 1);
  EXPECT_EQ(Describe(QueryService(kept)), Describe(toolKept));
  EXPECT_EQ(Describe(QueryService(added)), Describe(toolAdded));
  ASSERT_EQ(tool.RestoreTool(), 1);
  EXPECT_EQ(Describe(QueryService(kept)), Describe(machine));
  EXPECT_TRUE(WaitUntil([&] { return !QueryService(added).exists; }, 15000));
}

}  // namespace
