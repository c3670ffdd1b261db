// ToolRun.h: runs the built voxim tool (host tool tests only) and collects its exit status,
// standard output and standard error.
#pragma once

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "TestSupport.h"

struct ToolRun {
  int status = -1;
  std::string out, err;
};

inline std::string toolQuote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

// Runs the tool with these arguments in the folder `cwd`; `environment` ("NAME=value") is set for it.
inline ToolRun runTool(const std::string& cwd, const std::string& args, const std::string& environment = "") {
  const std::string outFile = testJoin(cwd, ".tool-out"), errFile = testJoin(cwd, ".tool-err");
  const std::string command = "cd " + toolQuote(cwd) + " && " + environment + " " + toolQuote(QUIRLA_VOXIM_TOOL) +
                              " " + args + " >" +
                              toolQuote(outFile) + " 2>" + toolQuote(errFile);
  ToolRun run;
  const int raw = std::system(command.c_str());
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  testReadFile(outFile, &run.out);
  testReadFile(errFile, &run.err);
  std::filesystem::remove(outFile);
  std::filesystem::remove(errFile);
  return run;
}
