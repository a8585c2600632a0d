// The platform's file-system object and the registry root of its main document.
#include "platform/doctree/acas_doc.h"
#include "platform/services/afs.h"
#include "platform/services/afs_path.h"
#include "platform/doctree/doc_tree.h"
#include "tests/support/registry.h"
#include "tests/support/test_paths.h"
#include "tests/support/zip_builder.h"

#include <gtest/gtest.h>

namespace {

TEST(FileSystemObject, PublishesTheFirstOneAndFindsTheRegistryRootInItsMainDocument) {
  ASSERT_EQ(CAFS::m_pthis, nullptr);
  ScratchFolder s("afs");
  CACASDVFDLDoc main;
  ASSERT_EQ(main.NewXMLDoc((s / "main.xml").c_str(), 0, 0), 1);
  ASSERT_EQ(main.InitVFDLDoc(nullptr), 1);
  {
    CAFS afs, other;
    EXPECT_EQ(CAFS::m_pthis, &afs);
    EXPECT_EQ(CAFSPath::GetRegRoot(), nullptr);  // no main document
    afs.m_pMainDoc = &main;
    EXPECT_EQ(CAFSPath::GetRegRoot(), nullptr);  // no such node yet

    CVFDLFolder decoy;  // the last name alone, in the wrong place
    decoy.SetAlias("\xD7\xA2\xB2\xE1\xB1\xED");
    main.AddFolder(main.GetRootNode(), &decoy, 0xFFFF);
    CVFDLNode* node = main.GetRootNode();
    for (const char* alias : {"\xD0\xC5\xCF\xA2\xD6\xD0\xD0\xC4", "\xB8\xF6\xC8\xCB\xD6\xD0\xD0\xC4", "\xD7\xA2\xB2\xE1\xB1\xED"}) {
      CVFDLFolder f;
      f.SetAlias(alias);
      node = main.GetNodeByID(main.AddFolder(node, &f, 0xFFFF));
    }
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(CAFSPath::GetRegRoot(), node);
    CRegisterDoc* reg = main.LoadExpandVFDLDoc(CAFSPath::GetRegRoot(), true);
    ASSERT_NE(reg, nullptr);
    const CString user = CString(CAFSPath::kRegRootPath) + "\\Config\\Basic\\User";
    EXPECT_EQ(reg->SetKey(user, "TotalTime", "tool=x:1"), 1);
    CString value;
    EXPECT_EQ(reg->GetKey(user, "TotalTime", value), 1);
    EXPECT_STREQ(value, "tool=x:1");
  }
  EXPECT_EQ(CAFS::m_pthis, nullptr);
}

}  // namespace
