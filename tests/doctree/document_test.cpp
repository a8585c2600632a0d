// The file side of a document: load statuses, new documents, bad input, auto-save, COM set-up.
#include "tests/doctree/doctree_support.h"

#include "platform/framework/afx.h"
#include "resources/resource_ids.h"
#include "tests/support/test_paths.h"

#include <objbase.h>
#include <psapi.h>

#include <string>
#include <thread>

namespace {

class DocFile : public ::testing::Test {
 protected:
  ScratchFolder m_dir{"doctree"};
  std::string Path(const std::string& name) const { return m_dir / name; }
};

TEST_F(DocFile, MissingFileThenNewDocument) {
  CVFDLDoc doc;
  EXPECT_EQ(doc.LoadXMLDoc(Path("absent.xml").c_str()), 3);
  EXPECT_EQ(doc.LoadXMLDoc(Path("no folder\\absent.xml").c_str()), 3);
  ASSERT_EQ(doc.NewXMLDoc(Path("new.xml").c_str(), 0, 0), 1);
  ASSERT_EQ(doc.InitVFDLDoc(nullptr), 1);
  ASSERT_NE(doc.GetRootNode(), nullptr);
  EXPECT_EQ(doc.GetRootNode()->GetKind(), VFDL_KIND_ROOT);
  EXPECT_EQ(doc.GetChildNum(doc.GetRootNode()), 0);
  EXPECT_EQ(Show(doc.GetBasePath()), m_dir.path());
  EXPECT_EQ(ReadTextFile(Path("new.xml")).rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>", 0), 0u);
  // A document that cannot be written is not reported as made.
  CVFDLDoc nowhere;
  EXPECT_EQ(nowhere.NewXMLDoc(Path("no folder\\x.xml").c_str(), 0, 0), 0);
}

TEST_F(DocFile, NewRegistrationTextIsAnEmptyDocument) {
  HMODULE lib = LoadLibraryA((BinFolder() + "\\Parlance10.dll").c_str());
  ASSERT_NE(lib, nullptr);
  HINSTANCE previous = AfxGetResourceHandle();
  AfxSetResourceHandle(lib);
  CString text;
  EXPECT_TRUE(text.LoadString(IDS_NEW_REGISTRATION_DOC));
  AfxSetResourceHandle(previous);
  FreeLibrary(lib);

  CVFDLDoc doc;
  ASSERT_EQ(doc.SetXMLDoc(text), 1);
  ASSERT_EQ(doc.InitVFDLDoc(nullptr), 1);
  EXPECT_EQ(doc.GetChildNum(doc.GetRootNode()), 0);
  EXPECT_EQ(doc.SetXMLDoc("<other/>"), 0);  // not a document of this kind: nothing changes
  EXPECT_NE(doc.GetRootNode(), nullptr);
}

TEST_F(DocFile, UnusableFilesAreRefusedAndNeverOverwritten) {
  // A real document cut in half is one of the bad inputs.
  {
    CVFDLDoc good;
    good.NewXMLDoc(Path("good.xml").c_str(), 0, 0);
    good.InitVFDLDoc(nullptr);
    good.SetAutoSaveFlag(0);
    CVFDLRec rec;
    rec.SetVarValue("v", "some value");
    for (int i = 0; i < 20; ++i) good.AddRec(good.GetRootNode(), &rec, 0xFFFF);
    ASSERT_EQ(good.SaveXMLDoc(0), 1);
  }
  std::string whole = ReadTextFile(Path("good.xml"));
  const std::string inputs[] = {"", "not xml at all", whole.substr(0, whole.size() / 2), "<vfdl><folder></vfdl>",
                                "<?xml version=\"1.0\"?><other/>", std::string("\x00\xFF\xFE\x01", 4), "<vfdl/><vfdl/>"};
  for (const std::string& input : inputs) {
    ASSERT_TRUE(WriteTextFile(Path("bad.xml"), input));
    CVFDLDoc doc;
    ASSERT_EQ(doc.LoadXMLDoc(Path("good.xml").c_str()), 4);  // a loaded document is forgotten by the next load
    int status = doc.LoadXMLDoc(Path("bad.xml").c_str());
    EXPECT_TRUE(status != 3 && status != 4) << input;
    EXPECT_EQ(doc.InitVFDLDoc(nullptr), 0);
    EXPECT_EQ(doc.GetRootNode(), nullptr);
    EXPECT_EQ(doc.SaveXMLDoc(0), 0);
    EXPECT_EQ(doc.NewXMLDoc(Path("fresh.xml").c_str(), 0, 0), 1);  // still usable for a new document
    EXPECT_EQ(ReadTextFile(Path("bad.xml")), input);
  }
  CVFDLDoc doc;
  int status = doc.LoadXMLDoc(m_dir.path().c_str());  // a folder
  EXPECT_TRUE(status != 3 && status != 4);
  HANDLE locked = CreateFileA(Path("good.xml").c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(locked, INVALID_HANDLE_VALUE);
  status = doc.LoadXMLDoc(Path("good.xml").c_str());
  EXPECT_TRUE(status != 3 && status != 4);
  CloseHandle(locked);
  EXPECT_EQ(ReadTextFile(Path("good.xml")), whole);
}

TEST_F(DocFile, AutoSaveSavesEachChangeOnlyWhileOn) {
  CVFDLDoc doc;
  ASSERT_EQ(doc.NewXMLDoc(Path("a.xml").c_str(), 0, 0), 1);
  doc.InitVFDLDoc(nullptr);
  EXPECT_EQ(doc.GetAutoSaveFlag(), 1);
  CVFDLFolder folder;
  folder.SetAlias("first");
  doc.AddFolder(doc.GetRootNode(), &folder, 0xFFFF);
  std::string saved = ReadTextFile(Path("a.xml"));
  EXPECT_NE(saved.find("first"), std::string::npos);

  doc.SetAutoSaveFlag(0);
  CVFDLRec rec;
  rec.SetAlias("second");
  CString id = doc.AddRec(doc.GetRootNode(), &rec, 0xFFFF);
  EXPECT_EQ(ReadTextFile(Path("a.xml")), saved);
  doc.SetAutoSaveFlag(1);
  EXPECT_EQ(ReadTextFile(Path("a.xml")), saved);
  EXPECT_EQ(doc.SaveXMLDoc(0), 1);
  EXPECT_NE(ReadTextFile(Path("a.xml")).find("second"), std::string::npos);
  doc.DelRec(doc.GetNodeByID(id), 0xFFFF);
  EXPECT_EQ(ReadTextFile(Path("a.xml")).find("second"), std::string::npos);
}

SIZE_T CommittedBytes() {
  PROCESS_MEMORY_COUNTERS counters = {};
  counters.cb = sizeof counters;
  GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
  return counters.PagefileUsage;
}

// Some MSXML writers keep the whole text of each document they save; saving a document over and
// over must not make the process grow, nor loading it over and over.
TEST_F(DocFile, RepeatedSavesAndLoadsKeepNoMemory) {
  CVFDLDoc doc;
  ASSERT_EQ(doc.NewXMLDoc(Path("m.xml").c_str(), 0, 0), 1);
  doc.InitVFDLDoc(nullptr);
  doc.SetAutoSaveFlag(0);
  CVFDLRec rec;
  rec.SetVarValue("key", "HKEY_CURRENT_USER\\Software\\Some\\Longer\\Path\\For\\Volume");
  for (int i = 0; i < 2000; ++i) doc.AddRec(doc.GetRootNode(), &rec, 0xFFFF);
  ASSERT_EQ(doc.SaveXMLDoc(0), 1);
  {
    CVFDLDoc loaded;  // the first load sets up what every later one reuses
    ASSERT_EQ(loaded.LoadXMLDoc(Path("m.xml").c_str()), 4);
    ASSERT_EQ(loaded.InitVFDLDoc(nullptr), 1);
  }
  SIZE_T before = CommittedBytes();
  for (int i = 0; i < 10; ++i) ASSERT_EQ(doc.SaveXMLDoc(0), 1);
  EXPECT_LT(CommittedBytes() - before, 4u << 20);  // a leak of the text would be about 30 MB
  before = CommittedBytes();
  for (int i = 0; i < 20; ++i) {
    CVFDLDoc loaded;
    ASSERT_EQ(loaded.LoadXMLDoc(Path("m.xml").c_str()), 4);
    ASSERT_EQ(loaded.InitVFDLDoc(nullptr), 1);
    ASSERT_EQ(loaded.GetNodeCount(), 2001);
  }
  EXPECT_LT(CommittedBytes() - before, 1u << 20);  // the parsed elements alone are about 0.5 MB a load
}

// Loads and saves on a thread whose COM state is `mode` (-1: none), then reports whether the
// thread's COM state is as it was.
bool UseOnThread(const std::string& path, int mode) {
  bool ok = false;
  std::thread worker([&] {
    if (mode >= 0) CoInitializeEx(nullptr, static_cast<DWORD>(mode));
    CVFDLDoc doc;
    ok = doc.NewXMLDoc(path.c_str(), 0, 0) == 1 && doc.InitVFDLDoc(nullptr) == 1 && doc.LoadXMLDoc(path.c_str()) == 4 &&
         doc.InitVFDLDoc(nullptr) == 1;
    // Probe: a thread left without COM accepts an apartment (S_OK); one still in its own model
    // answers S_FALSE for the same model.
    HRESULT probe = CoInitializeEx(nullptr, mode >= 0 ? static_cast<DWORD>(mode) : static_cast<DWORD>(COINIT_MULTITHREADED));
    ok = ok && probe == (mode >= 0 ? S_FALSE : S_OK);
    CoUninitialize();
    if (mode >= 0) CoUninitialize();
  });
  worker.join();
  return ok;
}

TEST_F(DocFile, ACopysTextIsTakenFromTheOriginalOnlyWhenTheBytesAreTheSame) {
  std::mt19937 rng(2026);
  {
    CVFDLDoc made;
    ASSERT_EQ(made.NewXMLDoc(Path("original.xml").c_str(), 0, 0), 1);
    ASSERT_EQ(made.InitVFDLDoc(nullptr), 1);
    made.SetAutoSaveFlag(0);
    GrowRandomTree(made, rng, 120);
    ASSERT_EQ(made.SaveXMLDoc(0), 1);
  }
  ASSERT_TRUE(CopyFileA(Path("original.xml").c_str(), Path("copy.xml").c_str(), FALSE));
  CVFDLDoc plain;
  ASSERT_EQ(plain.LoadXMLDoc(Path("copy.xml").c_str()), 4);
  ASSERT_EQ(plain.InitVFDLDoc(nullptr), 1);
  const std::string expected = Describe(plain, plain.GetRootNode());

  // The same bytes: the copy is the original's text under the copy's path, and stays its own.
  CVFDLDoc original, copy;
  ASSERT_EQ(original.LoadXMLDoc(Path("original.xml").c_str()), 4);
  ASSERT_EQ(copy.LoadXMLDocCopy(Path("copy.xml").c_str(), original), 4);
  ASSERT_EQ(original.InitVFDLDoc(nullptr), 1);
  ASSERT_EQ(copy.InitVFDLDoc(nullptr), 1);
  EXPECT_EQ(Describe(copy, copy.GetRootNode()), expected);
  EXPECT_EQ(Show(copy.GetDocPath()), Path("copy.xml"));
  CVFDLFolder added;
  added.SetAlias("only in the copy");
  EXPECT_FALSE(copy.AddFolder(copy.GetRootNode(), &added, 0xFFFF).IsEmpty());
  EXPECT_EQ(Describe(original, original.GetRootNode()), expected);

  // Once the original has built its tree, or when the bytes differ, the file itself is read.
  CVFDLDoc built;
  EXPECT_EQ(built.LoadXMLDocCopy(Path("copy.xml").c_str(), original), 4);
  ASSERT_EQ(built.InitVFDLDoc(nullptr), 1);
  EXPECT_EQ(Describe(built, built.GetRootNode()), Describe(copy, copy.GetRootNode()));  // saved by auto-save
  std::string text = ReadTextFile(Path("original.xml"));
  text.replace(text.rfind("</vfdl>"), 7, "<folder id=\"99999\" alias=\"changed\"/></vfdl>");
  ASSERT_TRUE(WriteTextFile(Path("changed.xml"), text));
  CVFDLDoc again, changed;
  ASSERT_EQ(again.LoadXMLDoc(Path("original.xml").c_str()), 4);
  ASSERT_EQ(changed.LoadXMLDocCopy(Path("changed.xml").c_str(), again), 4);
  ASSERT_EQ(changed.InitVFDLDoc(nullptr), 1);
  EXPECT_NE(Describe(changed, changed.GetRootNode()).find("|changed|"), std::string::npos);
  EXPECT_EQ(changed.LoadXMLDocCopy(Path("absent.xml").c_str(), again), 3);
  ASSERT_TRUE(WriteTextFile(Path("broken.xml"), text.substr(0, text.size() / 2)));
  EXPECT_EQ(changed.LoadXMLDocCopy(Path("broken.xml").c_str(), again), 0);
}

TEST_F(DocFile, AnyApartmentOfTheCallingThread) {
  EXPECT_TRUE(UseOnThread(Path("none.xml"), -1));
  EXPECT_TRUE(UseOnThread(Path("mta.xml"), COINIT_MULTITHREADED));
  EXPECT_TRUE(UseOnThread(Path("sta.xml"), COINIT_APARTMENTTHREADED));
}

}  // namespace
