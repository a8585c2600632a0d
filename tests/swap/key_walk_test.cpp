// Whole-key captures and long write-backs, which read, delete and write the registry on several
// threads at once: the document must come out as a plain walk of the key makes it, a key that
// cannot be read whole stays on the machine with its parents, a root is never cleared, and a
// value that a document writes twice through different spellings of its key ends as the later
// record says.
#include "tests/support/processes.h"
#include "tests/support/registration_docs.h"
#include "tests/support/registry.h"
#include "tests/support/services.h"

#include <gtest/gtest.h>
#include <shlwapi.h>

#include <cwchar>

namespace {

const std::string kWalk = std::string(kTestRoot) + "\\Walk";

// "key" for a key record, "key = name" for a value record, in document order.
std::vector<std::string> RecordList(CSysRegDoc& doc) {
  std::vector<std::string> list;
  for (CVFDLNode* n : RecordsOf(doc, "install")) {
    CSysRegRec* r = Rec(n);
    list.push_back(std::string(r->GetKey()) + (r->HasVar("name") ? " = " + std::string(r->GetName()) : ""));
  }
  return list;
}

// The same list made by a plain recursive walk of the key, values of type 0 left out.
void PlainWalk(HKEY key, const std::string& path, std::vector<std::string>& list) {
  list.push_back(path);
  char name[300];
  BYTE data[2048];
  for (DWORD i = 0;; ++i) {
    DWORD nameLength = sizeof name, dataLength = sizeof data, type = 0;
    if (RegEnumValueA(key, i, name, &nameLength, nullptr, &type, data, &dataLength) != ERROR_SUCCESS) break;
    if (type != REG_NONE) list.push_back(path + " = " + std::string(name, nameLength));
  }
  std::vector<std::string> subKeys;
  for (DWORD i = 0;; ++i) {
    DWORD length = sizeof name;
    if (RegEnumKeyExA(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    subKeys.emplace_back(name, length);
  }
  for (const std::string& sub : subKeys) {
    RegKey child;
    if (RegOpenKeyExA(key, sub.c_str(), 0, KEY_READ, child.receive()) == ERROR_SUCCESS)
      PlainWalk(child.get(), path + "\\" + sub, list);
  }
}

// A registry link below parent whose target does not exist: it is listed among the subkeys, but
// cannot be opened. Removed (it needs the native delete of the link itself) when it goes.
class BrokenLink {
 public:
  BrokenLink(const std::string& parent, const wchar_t* name) : m_parent(parent), m_name(name) {
    RegKey base, link;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, parent.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, base.receive(),
                        nullptr) != ERROR_SUCCESS ||
        RegCreateKeyExW(base.get(), name, 0, nullptr, REG_OPTION_CREATE_LINK | REG_OPTION_VOLATILE,
                        KEY_ALL_ACCESS | KEY_CREATE_LINK, nullptr, link.receive(), nullptr) != ERROR_SUCCESS)
      return;
    const wchar_t target[] = L"\\Registry\\Machine\\Software\\VantelNoSuchKey";
    m_made = RegSetValueExW(link.get(), L"SymbolicLinkValue", 0, REG_LINK, reinterpret_cast<const BYTE*>(target),
                            static_cast<DWORD>(wcslen(target) * sizeof(wchar_t))) == ERROR_SUCCESS;
  }
  BrokenLink(const BrokenLink&) = delete;
  BrokenLink& operator=(const BrokenLink&) = delete;
  ~BrokenLink() {
    using NtDeleteKeyFn = LONG(WINAPI*)(HANDLE);
    auto ntDeleteKey = GetProc<NtDeleteKeyFn>(GetModuleHandleA("ntdll.dll"), "NtDeleteKey");
    RegKey base, link;
    if (ntDeleteKey && RegOpenKeyExA(HKEY_CURRENT_USER, m_parent.c_str(), 0, KEY_READ, base.receive()) == ERROR_SUCCESS &&
        RegOpenKeyExW(base.get(), m_name.c_str(), REG_OPTION_OPEN_LINK, DELETE, link.receive()) == ERROR_SUCCESS)
      ntDeleteKey(link.get());
  }
  bool made() const { return m_made; }

 private:
  std::string m_parent;
  std::wstring m_name;
  bool m_made = false;
};

class KeyWalk : public ::testing::Test {
 protected:
  // A document whose "config" names the key whole, and an empty target for its capture.
  void CaptureWhole(const std::string& keyText) {
    m_own = NewDoc(m_folder / "own.xml");
    m_target = NewDoc(m_folder / "target.xml");
    ASSERT_TRUE(m_own && m_target);
    AddRecord(*m_own, m_own->GetClassNode("config", 1), {{"type", "register"}, {"key", keyText}});
    m_own->InitSwap(nullptr, m_target.get());
  }

  KeyCleanup m_keys{HKEY_CURRENT_USER, kWalk};
  ScratchFolder m_folder{"walk"};
  std::unique_ptr<CSysRegDoc> m_own, m_target;
};

TEST_F(KeyWalk, AWideDeepKeyIsRecordedInTheOrderOfAPlainWalkAndComesBackAsItWas) {
  const std::string top = kWalk + "\\Wide";
  for (int k = 0; k < 30; ++k) {
    const std::string key = top + "\\k" + std::to_string(k);
    for (int v = 0; v < k % 4; ++v) ASSERT_TRUE(SetText(HKEY_CURRENT_USER, key, "v" + std::to_string(v), key));
    if (k % 7 == 0) {
      ASSERT_TRUE(SetRaw(HKEY_CURRENT_USER, key, "none", REG_NONE, "x"));
    }
    if (k % 5 == 0) {
      ASSERT_TRUE(SetRaw(HKEY_CURRENT_USER, key, "", REG_BINARY, std::string("\0\1\2", 3)));
    }
    for (int s = 0; s < k % 5; ++s) {
      const std::string child = key + "\\s" + std::to_string(s);
      ASSERT_TRUE(s % 2 ? MakeKey(HKEY_CURRENT_USER, child) : SetText(HKEY_CURRENT_USER, child, "c", child));
      if (k == 9) {
        ASSERT_TRUE(SetText(HKEY_CURRENT_USER, child + "\\deep\\deeper", "d", "deep"));
      }
    }
  }
  ASSERT_TRUE(SetText(HKEY_CURRENT_USER, top, "at the top", "t"));
  std::vector<std::string> expected;
  {
    RegKey key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, top.c_str(), 0, KEY_READ, key.receive()), ERROR_SUCCESS);
    PlainWalk(key.get(), HkcuText(top), expected);
  }
  ASSERT_GT(expected.size(), 150u);
  RegSnapshot before = Snapshot(HKEY_CURRENT_USER, top);
  // Values of type 0 are not captured, so they do not come back.
  for (auto it = before.values.begin(); it != before.values.end();) it = it->second.type == REG_NONE ? before.values.erase(it) : std::next(it);

  ASSERT_NO_FATAL_FAILURE(CaptureWhole(HkcuText(top)));
  EXPECT_FALSE(HasKey(HKEY_CURRENT_USER, top));
  EXPECT_EQ(RecordList(*m_target), expected);
  m_target->Restore(nullptr);
  EXPECT_EQ(Differences(before, Snapshot(HKEY_CURRENT_USER, top)), "");
}

TEST_F(KeyWalk, AKeyThatCannotBeOpenedStaysWithItsParentsAndNothingIsLost) {
  const std::string top = kWalk + "\\Broken";
  ASSERT_TRUE(SetText(HKEY_CURRENT_USER, top, "top", "1"));
  ASSERT_TRUE(SetText(HKEY_CURRENT_USER, top + "\\a", "a", "2"));
  ASSERT_TRUE(SetText(HKEY_CURRENT_USER, top + "\\a\\b", "b", "3"));
  ASSERT_TRUE(SetText(HKEY_CURRENT_USER, top + "\\a\\whole", "w", "4"));
  ASSERT_TRUE(SetText(HKEY_CURRENT_USER, top + "\\c\\d", "d", "5"));
  BrokenLink link(top + "\\a\\b", L"link");
  ASSERT_TRUE(link.made());
  const RegSnapshot before = Snapshot(HKEY_CURRENT_USER, top);
  ASSERT_EQ(before.keys.count(Fold(L"a\\b\\link")), 1u) << "the snapshot lists the link";
  std::vector<std::string> readable;  // everything but the link
  {
    RegKey key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, top.c_str(), 0, KEY_READ, key.receive()), ERROR_SUCCESS);
    PlainWalk(key.get(), HkcuText(top), readable);
  }

  ASSERT_NO_FATAL_FAILURE(CaptureWhole(HkcuText(top)));
  // What was read whole is gone; the unreadable link keeps its parents, and their values.
  EXPECT_FALSE(HasKey(HKEY_CURRENT_USER, top + "\\c"));
  EXPECT_FALSE(HasKey(HKEY_CURRENT_USER, top + "\\a\\whole"));
  EXPECT_EQ(TextOf(HKEY_CURRENT_USER, top + "\\a\\b", "b"), "3");
  EXPECT_EQ(TextOf(HKEY_CURRENT_USER, top, "top"), "1");
  EXPECT_EQ(RecordList(*m_target), readable);
  // Written back, the machine is as it was.
  m_target->Restore(nullptr);
  EXPECT_EQ(Differences(before, Snapshot(HKEY_CURRENT_USER, top)), "");
}

TEST_F(KeyWalk, ARootNamedWholeIsNeitherCapturedNorCleared) {
  const std::string probe = "Software\\VantelRootProbe";
  ASSERT_TRUE(SetText(HKEY_CURRENT_CONFIG, probe, "p", "stays"));
  for (const char* root : {"HKEY_CURRENT_CONFIG", "HKEY_CURRENT_CONFIG\\", "hkey_current_config\\\\"}) {
    SCOPED_TRACE(root);
    ASSERT_NO_FATAL_FAILURE(CaptureWhole(root));
    EXPECT_EQ(RecordList(*m_target).size(), 0u);
    EXPECT_EQ(TextOf(HKEY_CURRENT_CONFIG, probe, "p"), "stays");
  }
  SHDeleteKeyA(HKEY_CURRENT_CONFIG, probe.c_str());
}

TEST_F(KeyWalk, AValueWrittenThroughTwoSpellingsOfItsKeyEndsAsTheLaterRecordSays) {
  const std::string classKey = "Software\\Classes\\VantelWalkClass";
  struct Spellings {
    std::string first, later, checkKey;
    HKEY checkRoot;
  };
  const std::string sub = kWalk + "\\Twice";
  std::string lower = HkcuText(sub);
  for (char& c : lower) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  const Spellings pairs[] = {
      {HkcuText(sub + "\\Case"), lower + "\\CASE", sub + "\\Case", HKEY_CURRENT_USER},
      {HkcuText(sub + "\\Slash"), HkcuText(sub) + "\\\\Slash\\", sub + "\\Slash", HKEY_CURRENT_USER},
      {"HKEY_CLASSES_ROOT\\VantelWalkClass", "HKEY_LOCAL_MACHINE\\" + classKey, classKey, HKEY_LOCAL_MACHINE},
  };
  // The record spelt first comes after many records of its key, the later one right after it:
  // were the two spellings written by different threads, the later would land first.
  for (int round = 0; round < 4; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    auto doc = NewDoc(m_folder / ("twice" + std::to_string(round) + ".xml"));
    ASSERT_TRUE(doc);
    doc->SetAutoSaveFlag(0);
    CVFDLNode* install = doc->GetClassNode("install", 1);
    for (const Spellings& p : pairs) {
      for (int i = 0; i < 60; ++i)
        AddRecord(*doc, install, {{"type", "register"}, {"key", p.first}, {"name", "f" + std::to_string(i)}, {"regtype", "1"}, {"value", "x"}});
      AddRecord(*doc, install, {{"type", "register"}, {"key", p.first}, {"name", "v"}, {"regtype", "1"}, {"value", "first"}});
      AddRecord(*doc, install, {{"type", "register"}, {"key", p.later}, {"name", "V"}, {"regtype", "1"}, {"value", "later"}});
    }
    EXPECT_EQ(doc->Restore(nullptr), 1);
    for (const Spellings& p : pairs) EXPECT_EQ(TextOf(p.checkRoot, p.checkKey, "v"), "later") << p.first;
    SHDeleteKeyA(HKEY_LOCAL_MACHINE, classKey.c_str());
    SHDeleteKeyA(HKEY_CURRENT_USER, sub.c_str());
  }
}

}  // namespace
