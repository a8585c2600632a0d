// host.exe: the platform's main program in small (see docs/host.md).
//
//   host [-p <platform folder>] run                      stays resident (LoadApp)
//   host [-p <platform folder>] load <dataid> [a1 [a2]]  loads a tool (DllOpenTool)
//   host [-p <platform folder>] unload|update <dataid>   asks the resident host
//   host [-p <platform folder>] list | add <folder> | remove <dataid>
//                                                        asks the resident host, or works on the
//                                                        settings tree itself when none runs
//   host [-p <platform folder>] check <dataid>           checks the tool's update feed here
//   host [-p <platform folder>] stop                     ends the resident host
//
// The platform folder is the parent of the library folder (where Vantel10.dll is) unless -p
// names another. Output is plain text, one line per tool or event; errors go to standard error
// with exit code 1.
#include "host_catalogue.h"
#include "host_protocol.h"
#include "resident_host.h"

#include <cstdio>
#include <cstring>
#include <set>

namespace {

// "check" always runs in the client: it prints what the tool's update check did.
const std::set<std::string> kDirectVerbs = {"list", "add", "remove", "check"};
const std::set<std::string> kHostVerbs = {"unload", "update", "list", "stop", "add", "remove"};

int Usage() {
  fputs("usage: host [-p <platform folder>] run | stop | list | load <dataid> [arg1 [arg2]] | unload <dataid> |\n"
        "            update <dataid> | add <tool folder> | remove <dataid> | check <dataid>\n",
        stderr);
  return 2;
}

int Print(const VerbResult& r) {
  fputs(r.out.c_str(), stdout);
  fputs(r.err.c_str(), stderr);
  return r.code;
}

// A verb that takes an argument gets it; the others get none.
bool ArgumentsFit(const std::string& verb, size_t count) {
  if (verb == "run" || verb == "stop" || verb == "list") return count == 0;
  if (verb == "load") return count >= 1 && count <= 3;
  return count == 1;
}

int RunClient(const std::string& root, const std::vector<std::string>& words) {
  const std::string& verb = words[0];
  HWND host = FindResidentHost();
  if (verb == "load") {
    if (!host) return Print(Failure("No host is running; start one with: host run"));
    int loaded = DllOpenTool(words[1].c_str(), words.size() > 2 ? words[2].c_str() : "",
                             words.size() > 3 ? words[3].c_str() : "");
    if (!loaded) return Print(Failure("The tool " + words[1] + " could not be loaded."));
    return Print(VerbResult{0, "loading\t" + words[1] + "\n", std::string()});
  }
  if (host && kHostVerbs.count(verb)) {
    std::string reply;
    int code = SendToHost(host, words, reply);
    fputs(reply.c_str(), code == 0 ? stdout : stderr);
    if (code == kNoAnswer && reply.empty()) fputs("The running host did not answer.\n", stderr);
    return code;
  }
  if (!kDirectVerbs.count(verb)) return Print(Failure("No host is running; start one with: host run"));
  HostCatalogue catalogue(root);
  std::string problem;
  if (!catalogue.Open(problem)) return Print(Failure(problem));
  if (verb == "list") return Print(catalogue.List());
  if (verb == "add") return Print(catalogue.Add(words[1]));
  if (verb == "check") return Print(catalogue.Check(words[1]));
  // Without a host nothing can unload the tool first.
  return Print(catalogue.Remove(words[1], [](CVFDLNode*) { return false; }));
}

}  // namespace

int main(int argc, char** argv) {
  std::string root;
  int first = 1;
  if (argc > 2 && strcmp(argv[1], "-p") == 0) {
    root = argv[2];
    first = 3;
  }
  if (first >= argc) return Usage();
  std::vector<std::string> words(argv + first, argv + argc);
  if (!ArgumentsFit(words[0], words.size() - 1)) return Usage();
  while (root.size() > 3 && (root.back() == '\\' || root.back() == '/')) root.pop_back();
  if (root.empty()) root = PlatformFolder().c_str();
  if (words[0] == "run") return RunResidentHost(root);
  return RunClient(root, words);
}
