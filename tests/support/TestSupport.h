// TestSupport.h: what the tests share: trace capture, scratch files, leak checks.
#pragma once

#include <functional>
#include <string>
#include <vector>

// Collects the trace lines written while it lives (and resets the host services' records on
// the host build). `has` looks for a line that ends in "<message>\n".
struct TraceCapture {
  std::vector<std::string> lines;
  TraceCapture();
  ~TraceCapture();
  TraceCapture(const TraceCapture&) = delete;
  TraceCapture& operator=(const TraceCapture&) = delete;
  bool has(const std::string& message) const;
  // The message parts (after "path(line) : ", without the line break), in order.
  std::vector<std::string> messages() const;
  void clear() { lines.clear(); }
};

// A fresh, empty scratch folder for one test (ends without a separator).
std::string testScratchDir(const std::string& name);
// Joins folder and name with the platform's separator.
std::string testJoin(const std::string& folder, const std::string& name);
bool testWriteFile(const std::string& path, const std::string& bytes);
bool testReadFile(const std::string& path, std::string* bytes);
// The source tree and the build tree (paths usable by the running binary).
std::string testSourceDir();
std::string testBinaryDir();

// Runs `attempt` with every allocation granted, then once for each allocation it made with that
// one refused: every refusal must make it fail, traced ("Out of Memory!"), with every block
// released. `attempt` answers whether it succeeded and releases what it made. Returns the number
// of allocations of the successful run.
long testEachAllocationFails(TraceCapture* trace, const std::function<bool()>& attempt);
