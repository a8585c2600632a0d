// The collections: behaviour under what hosts do, the 4.2 layout, and a map shared with another
// module that has its own copy of the framework code.
#include "platform/framework/afx.h"
#include "platform/win/handles.h"
#include "tests/support/test_paths.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace {

TEST(HashKey, IsTimes33OverSignedCharacters) {
  EXPECT_EQ(HashKey(""), 0u);
  EXPECT_EQ(HashKey("a"), 97u);
  EXPECT_EQ(HashKey("ab"), 97u * 33 + 98);
  // A byte above 0x7F counts as a negative character, as in a host's framework.
  EXPECT_EQ(HashKey("\xD0"), static_cast<UINT>(-48));
}

TEST(MapStringToString, SubscriptFindsOrInsertsAndKeysAreExact) {
  CMapStringToString map;
  EXPECT_EQ(map.GetHashTableSize(), 17u);
  CString v = map["NeedAdmin"];
  EXPECT_TRUE(v.IsEmpty());
  EXPECT_EQ(map.GetCount(), 1);  // reading through [] inserted the key
  map["needadmin"] = "yes";
  EXPECT_EQ(map.GetCount(), 2);
  CString out;
  EXPECT_TRUE(map.Lookup("needadmin", out));
  EXPECT_STREQ(out, "yes");
  EXPECT_FALSE(map.Lookup("NEEDADMIN", out));
  map[""] = "empty key";
  EXPECT_TRUE(map.Lookup("", out));
  EXPECT_STREQ(out, "empty key");
  EXPECT_TRUE(map.RemoveKey("needadmin"));
  EXPECT_FALSE(map.RemoveKey("needadmin"));
  EXPECT_EQ(map.GetCount(), 2);
}

TEST(MapStringToString, TenThousandEntriesAndCodePage936Keys) {
  CMapStringToString map;
  std::map<std::string, std::string> model;
  for (int i = 0; i < 10000; ++i) {
    char key[64], value[64];
    wsprintfA(key, "\xD7\xA2\xB2\xE1\xB1\xED-%d", i);  // "注册表-i"
    wsprintfA(value, "v%d", i * 7);
    map[key] = value;
    model[key] = value;
  }
  EXPECT_EQ(map.GetCount(), 10000);
  std::map<std::string, std::string> seen;
  POSITION pos = map.GetStartPosition();
  while (pos) {
    CString k, v;
    map.GetNextAssoc(pos, k, v);
    seen[k.c_str()] = v.c_str();
  }
  EXPECT_EQ(seen, model);
  for (int i = 0; i < 10000; i += 2) {
    char key[64];
    wsprintfA(key, "\xD7\xA2\xB2\xE1\xB1\xED-%d", i);
    ASSERT_TRUE(map.RemoveKey(key));
  }
  EXPECT_EQ(map.GetCount(), 5000);
  CString v;
  EXPECT_TRUE(map.Lookup("\xD7\xA2\xB2\xE1\xB1\xED-9999", v));
  EXPECT_STREQ(v, "v69993");
}

// The layout a host compiled against the 4.2 framework reads: the association for a key
// sits in bucket HashKey(key) % 17, found by walking raw memory.
TEST(MapStringToString, RawLayoutIsTheHostFrameworks) {
  CMapStringToString map;
  map["Name"] = "Demo";
  struct RawMap {
    void* vptr;
    void** table;
    UINT size;
    int count;
    void* freeList;
    void* blocks;
    int blockSize;
  };
  const auto* raw = reinterpret_cast<const RawMap*>(&map);
  ASSERT_EQ(raw->size, 17u);
  EXPECT_EQ(raw->count, 1);
  EXPECT_EQ(raw->blockSize, 10);
  UINT bucket = HashKey("Name") % 17;
  auto* assoc = static_cast<char**>(raw->table[bucket]);
  ASSERT_NE(assoc, nullptr);
  EXPECT_EQ(reinterpret_cast<UINT*>(assoc)[1], bucket);
  EXPECT_STREQ(assoc[2], "Name");
  EXPECT_STREQ(assoc[3], "Demo");
}

TEST(MapStringToPtr, AbsentHooksReadAsNull) {
  CMapStringToPtr hooks;
  EXPECT_EQ(hooks["CheckVersion"], nullptr);
  EXPECT_EQ(hooks.GetCount(), 1);
  int x = 0;
  hooks["LoadModuleBefore"] = &x;
  void* p = nullptr;
  EXPECT_TRUE(hooks.Lookup("LoadModuleBefore", p));
  EXPECT_EQ(p, &x);
  EXPECT_FALSE(hooks.Lookup("loadmodulebefore", p));
}

TEST(Arrays, GrowInsertRemove) {
  CStringArray a;
  for (int i = 0; i < 1000; ++i) {
    char b[16];
    wsprintfA(b, "%d", i);
    a.Add(b);
  }
  a.InsertAt(0, "first");
  a.RemoveAt(1, 10);
  EXPECT_EQ(a.GetSize(), 991);
  EXPECT_STREQ(a[0], "first");
  EXPECT_STREQ(a[1], "10");
  a.Add(a[1]);  // adding an element of the array itself
  EXPECT_STREQ(a[a.GetUpperBound()], "10");
  CUIntArray u;
  u.Add(5);
  u.InsertAt(0, 4);
  u.InsertAt(5, 9);
  EXPECT_EQ(u.GetSize(), 6);
  EXPECT_EQ(u[0], 4u);
  EXPECT_EQ(u[2], 0u);
  EXPECT_EQ(u[5], 9u);
  CPtrArray p;
  p.Add(&u);
  EXPECT_EQ(p[0], &u);
}

// A second module with its own copy of the framework code reads and extends a map filled here.
TEST(CrossModule, PeerLibraryReadsAndExtendsOurMap) {
  HMODULE peer = LoadLibraryA((BinFolder() + "\\map_peer.dll").c_str());
  ASSERT_NE(peer, nullptr);
  using ExtendFn = int(__cdecl*)(CMapStringToString*, CMapStringToPtr*);
  auto extend = GetProc<ExtendFn>(peer, "ExtendMaps");
  ASSERT_NE(extend, nullptr);
  CMapStringToString params;
  CMapStringToPtr hooks;
  params["Name"] = "Demo";
  for (int i = 0; i < 50; ++i) {
    char k[16];
    wsprintfA(k, "k%d", i);
    params[k] = k;
  }
  EXPECT_EQ(extend(&params, &hooks), 51);  // it saw every entry
  CString v;
  EXPECT_TRUE(params.Lookup("Name", v));
  EXPECT_STREQ(v, "Demo (seen)");  // replaced in the peer, freed and reallocated across modules
  EXPECT_TRUE(params.Lookup("Added", v));
  EXPECT_STREQ(v, "by the peer");
  EXPECT_EQ(params.GetCount(), 52);
  void* hook = nullptr;
  EXPECT_TRUE(hooks.Lookup("Peer", hook));
  EXPECT_NE(hook, nullptr);
  params.RemoveAll();  // frees the peer's allocations here
  hooks.RemoveAll();
  FreeLibrary(peer);
}

}  // namespace
