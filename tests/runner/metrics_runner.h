// zrmhost run --metrics 127.0.0.1:0 for a test: started with its configuration, the port it
// serves on read from its standard error, scraped until what a test waits for is there.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "scratch_dir.h"
#include "subprocess.h"

class MetricsRunner {
 public:
  // Starts the runner with the real plug-in; the devices as ConfigText takes them.
  MetricsRunner(const std::vector<std::string>& devices, std::vector<std::string> extra = {});
  ~MetricsRunner();  // stops it with SIGINT and waits; a failure unless it ends with status 0

  unsigned short port() const { return port_; }
  std::string Scrape() const;  // the page, as a plain GET gives it (not over HTTPS)
  // Scrapes until the page has a line starting with `sample` (and, with a value, that value after
  // it); the last page, or "" after 90 s.
  std::string AwaitSample(const std::string& sample, const std::string& value = "") const;
  Subprocess& process() { return *process_; }

 private:
  ScratchDir dir_;
  std::unique_ptr<Subprocess> process_;
  unsigned short port_ = 0;
};

// The value after "sample " on the page's line for that sample, or "" when there is none.
std::string SampleValue(const std::string& page, const std::string& sample);
// How many of the page's lines start with the prefix.
size_t LinesStartingWith(const std::string& page, const std::string& prefix);
