// Timings of the document tree: adding records one by one (auto-save off) for growing counts,
// saving and loading documents of 10,000 and 20,000 records (six variables each, as the swap
// writes them), lookups by path and ID, and changes with auto-save on.
//
//   bench_doctree [folder]     works in folder (default: the temporary folder)
#include "bench/bench_clock.h"
#include "platform/doctree/doc_tree.h"
#include "platform/doctree/xml_io.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

CVFDLRec Record(int i) {
  CVFDLRec rec;
  rec.SetAlias(("item" + std::to_string(i)).c_str());
  rec.SetVarValue("type", "register");
  rec.SetVarValue("key", ("HKEY_CURRENT_USER\\Software\\Bench\\Key" + std::to_string(i)).c_str());
  rec.SetVarValue("name", "Value");
  rec.SetVarValue("regtype", "1");
  rec.SetVarValue("encode", "yes");
  // Each record's own value, as a registry entry's data would be.
  const std::string data = "This is the value of registry entry " + std::to_string(i);
  rec.SetVarValue("value", CXFormat::EncodeTextBase64(reinterpret_cast<const BYTE*>(data.c_str()),
                                                      static_cast<int>(data.size()) + 1, 0));
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

// "best s (median s)" of some timings.
std::string Stat(std::vector<double> times) {
  std::sort(times.begin(), times.end());
  char text[64];
  snprintf(text, sizeof text, "%.3f s (%.3f s)", times.front(), times[times.size() / 2]);
  return text;
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

  // Saving and loading, each size three times (the machine may be shared): the best and the
  // median of each step. Beside the document's own save and load, the XML part alone: writing
  // and reading the file's elements without the tree.
  for (int count : {10000, 20000}) {
    std::vector<double> save, parse, build, load, write, read;
    int saved = 0, status = 0, built = 0, nodes = 0;
    for (int round = 0; round < 3; ++round) {
      CRegisterDoc doc;
      doc.NewXMLDoc(path.c_str(), 0, 0);
      doc.InitVFDLDoc(nullptr);
      doc.SetAutoSaveFlag(0);
      Fill(doc, count);
      double t0 = Seconds();
      saved = doc.SaveXMLDoc(0);
      double t1 = Seconds();
      CRegisterDoc loaded;
      status = loaded.LoadXMLDoc(path.c_str());
      double t2 = Seconds();
      built = loaded.InitVFDLDoc(nullptr);
      double t3 = Seconds();
      nodes = loaded.GetNodeCount();
      std::unique_ptr<XmlElement> root;
      double t4 = Seconds();
      ReadXmlFile(path.c_str(), root);
      double t5 = Seconds();
      if (root) WriteXmlFile(path.c_str(), *root);
      double t6 = Seconds();
      save.push_back(t1 - t0);
      parse.push_back(t2 - t1);
      build.push_back(t3 - t2);
      load.push_back(t3 - t1);
      read.push_back(t5 - t4);
      write.push_back(t6 - t5);
    }
    WIN32_FILE_ATTRIBUTE_DATA info = {};
    GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &info);
    printf("save %5d records: %s (%d), file %lu bytes\n", count, Stat(save).c_str(), saved, info.nFileSizeLow);
    printf("load %5d records: %s = parse %s (%d) + build %s (%d), %d nodes\n", count, Stat(load).c_str(),
           Stat(parse).c_str(), status, Stat(build).c_str(), built, nodes);
    printf("  XML alone: write %s, read %s\n", Stat(write).c_str(), Stat(read).c_str());
  }

  CRegisterDoc doc;
  doc.NewXMLDoc(path.c_str(), 0, 0);
  doc.InitVFDLDoc(nullptr);
  doc.SetAutoSaveFlag(0);
  Fill(doc, 20000);
  doc.SaveXMLDoc(0);
  CRegisterDoc loaded;
  loaded.LoadXMLDoc(path.c_str());
  loaded.InitVFDLDoc(nullptr);
  double t0, t1, t2;

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
