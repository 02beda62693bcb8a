// A table of bad inputs for zrmhost: the files and arguments of one invocation, the exit status
// and a part of the message expected on standard error. BadInputTest runs each one.
#pragma once

#include <functional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

// Appears in some configurations as a community; never in anything the runner prints.
inline const std::string kSecret = "s3cret-community";

struct BadInput {
  const char* name;
  std::vector<std::pair<std::string, std::string>> files;  // written to the scratch directory
  std::vector<std::string> args;  // after zrmhost; "{dir}", "{plugin}", "{library}" are replaced
  int exit_code;
  std::string message;
  std::function<void(const std::string& dir)> prepare = nullptr;  // makes what text cannot say
};

void PrintTo(const BadInput& input, std::ostream* out);

class BadInputTest : public ::testing::TestWithParam<BadInput> {};

// zrmhost run with the fake plug-in and {dir}/config.json, and with more arguments.
std::vector<std::string> RunArgs(std::vector<std::string> extra = {});
// {dir}/config.json listing the devices.
std::vector<std::pair<std::string, std::string>> ConfigOf(const std::vector<std::string>& devices);
