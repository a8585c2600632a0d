// The collections: behaviour under what hosts do, the 4.2 layout, and a map shared with another
// module that has its own copy of the framework code.
#include "platform/framework/afx.h"
#include "platform/win/handles.h"
#include "tests/support/test_paths.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace {

TEST(Maps, SubscriptFindsOrInsertsAndKeysAreExact) {
  CMapStringToString map;
  EXPECT_TRUE(CString(map["NeedAdmin"]).IsEmpty());
  EXPECT_EQ(map.GetCount(), 1);  // reading through [] inserted the key
  map["needadmin"] = "yes";
  CString out;
  EXPECT_TRUE(map.Lookup("needadmin", out));
  EXPECT_STREQ(out, "yes");
  EXPECT_FALSE(map.Lookup("NEEDADMIN", out));
  map[""] = "empty key";
  EXPECT_TRUE(map.Lookup("", out));
  EXPECT_TRUE(map.RemoveKey("needadmin"));
  EXPECT_FALSE(map.RemoveKey("needadmin"));
  EXPECT_EQ(map.GetCount(), 2);
  CMapStringToPtr hooks;
  EXPECT_EQ(hooks["CheckVersion"], nullptr);  // an absent hook reads as null
}

TEST(Maps, TenThousandCodePage936KeysInsertedAndHalfRemoved) {
  CMapStringToString map;
  std::map<std::string, std::string> model, seen;
  auto key = [](int i) { return "\xD7\xA2\xB2\xE1\xB1\xED-" + std::to_string(i); };  // "注册表-i"
  for (int i = 0; i < 10000; ++i) {
    map[key(i).c_str()] = ("v" + std::to_string(i * 7)).c_str();
    model[key(i)] = "v" + std::to_string(i * 7);
  }
  for (int i = 0; i < 10000; i += 2) {
    ASSERT_TRUE(map.RemoveKey(key(i).c_str()));
    model.erase(key(i));
  }
  for (POSITION pos = map.GetStartPosition(); pos;) {
    CString k, v;
    map.GetNextAssoc(pos, k, v);
    seen[k.c_str()] = v.c_str();
  }
  EXPECT_EQ(seen, model);
}

// The layout a host compiled against the 4.2 framework reads: the hash is h * 33 + c over the
// key's characters taken as signed (a byte above 0x7F counts as negative), and the association
// for a key sits in bucket HashKey(key) % 17, found by walking raw memory.
TEST(Maps, RawLayoutIsTheHostFrameworks) {
  EXPECT_EQ(HashKey("ab"), 97u * 33 + 98);
  EXPECT_EQ(HashKey("\xD0"), static_cast<UINT>(-48));
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

TEST(Arrays, GrowInsertRemove) {
  CStringArray a;
  for (int i = 0; i < 1000; ++i) a.Add(std::to_string(i).c_str());
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
  u.InsertAt(5, 9);  // past the end: the gap is zeros
  EXPECT_EQ(std::vector<UINT>(u.GetData(), u.GetData() + u.GetSize()), (std::vector<UINT>{4, 5, 0, 0, 0, 9}));
}

// A second module with its own copy of the framework code reads and extends a map filled here.
TEST(CrossModule, PeerLibraryReadsAndExtendsOurMap) {
  LibraryHandle peer(LoadLibraryA((BinFolder() + "\\map_peer.dll").c_str()));  // unloaded after the maps are gone
  ASSERT_TRUE(peer);
  using ExtendFn = int(__cdecl*)(CMapStringToString*, CMapStringToPtr*);
  auto extend = GetProc<ExtendFn>(peer.get(), "ExtendMaps");
  ASSERT_NE(extend, nullptr);
  CMapStringToString params;
  CMapStringToPtr hooks;
  params["Name"] = "Demo";
  for (int i = 0; i < 50; ++i) params[("k" + std::to_string(i)).c_str()] = "v";
  EXPECT_EQ(extend(&params, &hooks), 51);  // it saw every entry
  EXPECT_EQ(params.GetCount(), 52);
  EXPECT_STREQ(params["Name"], "Demo (seen)");  // replaced in the peer, freed and reallocated across modules
  EXPECT_STREQ(params["Added"], "by the peer");
  EXPECT_NE(hooks["Peer"], nullptr);
}

}  // namespace
