// Timings of the document tree: adding records one by one (auto-save off) for growing counts,
// saving and loading a 20,000-record document, lookups by path and ID, and changes with
// auto-save on.
//
//   bench_doctree [folder]     works in folder (default: the temporary folder)
#include "platform/doc_tree.h"

#include <windows.h>

#include <cstdio>
#include <string>

namespace {

double Seconds() {
  LARGE_INTEGER f, c;
  QueryPerformanceFrequency(&f);
  QueryPerformanceCounter(&c);
  return double(c.QuadPart) / double(f.QuadPart);
}

CVFDLRec Record(int i) {
  CVFDLRec rec;
  rec.SetAlias(("item" + std::to_string(i)).c_str());
  rec.SetVarValue("type", "register");
  rec.SetVarValue("key", ("HKEY_CURRENT_USER\\Software\\Bench\\Key" + std::to_string(i)).c_str());
  rec.SetVarValue("name", "Value");
  rec.SetVarValue("regtype", "1");
  rec.SetVarValue("encode", "yes");
  rec.SetVarValue("value", "VGhpcyBpcyB0aGUgdmFsdWUgb2YgYSByZWdpc3RyeSBlbnRyeQA=");
  return rec;
}

// Adds count records, 200 to a folder; returns the seconds taken.
double Fill(CVFDLDoc& doc, int count) {
  double start = Seconds();
  CVFDLNode* folder = nullptr;
  for (int i = 0; i < count; ++i) {
    if (i % 200 == 0) {
      CVFDLFolder f;
      f.SetAlias(("group" + std::to_string(i / 200)).c_str());
      folder = doc.GetNodeByID(doc.AddFolder(doc.GetRootNode(), &f, 0xFFFF));
    }
    CVFDLRec rec = Record(i);
    doc.AddRec(folder, &rec, 0xFFFF);
  }
  return Seconds() - start;
}

}  // namespace

int main(int argc, char** argv) {
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  std::string dir = argc > 1 ? argv[1] : temp;
  if (!dir.empty() && dir.back() != '\\') dir += '\\';
  std::string path = dir + "bench_doctree.xml";

  for (int count : {5000, 10000, 20000, 40000}) {
    CRegisterDoc doc;
    doc.NewXMLDoc(path.c_str(), 0, 0);
    doc.InitVFDLDoc(nullptr);
    doc.SetAutoSaveFlag(0);
    double t = Fill(doc, count);
    printf("add %6d records: %.3f s (%.2f us per record)\n", count, t, t * 1e6 / count);
  }

  CRegisterDoc doc;
  doc.NewXMLDoc(path.c_str(), 0, 0);
  doc.InitVFDLDoc(nullptr);
  doc.SetAutoSaveFlag(0);
  Fill(doc, 20000);
  double t0 = Seconds();
  int saved = doc.SaveXMLDoc(0);
  double t1 = Seconds();
  WIN32_FILE_ATTRIBUTE_DATA info = {};
  GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &info);
  printf("save 20000 records: %.3f s (%d), file %lu bytes\n", t1 - t0, saved, info.nFileSizeLow);

  CRegisterDoc loaded;
  t0 = Seconds();
  int status = loaded.LoadXMLDoc(path.c_str());
  double t2 = Seconds();
  int built = loaded.InitVFDLDoc(nullptr);
  double t3 = Seconds();
  printf("load 20000 records: parse %.3f s (%d) + build %.3f s (%d), %d nodes\n", t2 - t0, status, t3 - t2, built,
         loaded.GetNodeCount());

  CPtrArray nodes;
  loaded.BrowseNode(loaded.GetRootNode(), nodes);
  std::string* positions = new std::string[nodes.GetSize()];
  std::string* ids = new std::string[nodes.GetSize()];
  for (int i = 0; i < nodes.GetSize(); ++i) {
    positions[i] = static_cast<CVFDLNode*>(nodes[i])->GetPos().c_str();
    ids[i] = static_cast<CVFDLNode*>(nodes[i])->GetID().c_str();
  }
  int found = 0;
  t0 = Seconds();
  for (int i = 0; i < nodes.GetSize(); ++i) found += loaded.GetNode(positions[i].c_str()) == nodes[i];
  t1 = Seconds();
  for (int i = 0; i < nodes.GetSize(); ++i) found += loaded.GetNodeByID(ids[i].c_str()) == nodes[i];
  t2 = Seconds();
  printf("lookups of %d nodes: by path %.3f s, by ID %.3f s (%d found)\n", nodes.GetSize(), t1 - t0, t2 - t1, found);
  delete[] positions;
  delete[] ids;

  loaded.SetAutoSaveFlag(1);
  t0 = Seconds();
  for (int i = 0; i < 20; ++i) loaded.SetKey("afs:\\group0\\item0", "counter", std::to_string(i).c_str());
  t1 = Seconds();
  printf("auto-save on, 20 changes of a 20000-record document: %.3f s (%.3f s each)\n", t1 - t0, (t1 - t0) / 20);
  DeleteFileA(path.c_str());
  return 0;
}
