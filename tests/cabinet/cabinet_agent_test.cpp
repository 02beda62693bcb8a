// CabinetAgent as other tests use it: its own agent per instance, changes seen at once, nothing
// left once it is gone.
#include "cabinet_agent.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

namespace {

const std::string kRoot = "1.3.6.1.4.1.61333.1.1";

std::string Column(int address, int column) {
  return kRoot + "." + std::to_string(address) + ".0." + std::to_string(column);
}

// Runs a Net-SNMP client: "OID VALUE" (-Oq) of the answer, or the client's complaint.
std::string Client(const std::string& tool, const CabinetAgent& agent, const std::string& oid) {
  // The agent's directory has a persistent directory for clients, made beforehand: else the
  // client's first run puts "Created directory" into its answer.
  const std::string command = "MIBS= SNMP_PERSISTENT_DIR=" + agent.directory() + "/client " + tool +
                              " -v2c -c qondel -r1 -t2 -On -Oq " + agent.address() + " " + oid + " 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) throw std::runtime_error("popen " + command);
  std::string output;
  char buffer[512];
  while (fgets(buffer, sizeof buffer, pipe) != nullptr) output += buffer;
  pclose(pipe);
  while (!output.empty() && output.back() == '\n') output.pop_back();
  return output;
}

std::string Get(const CabinetAgent& agent, const std::string& oid) {
  return Client("snmpget", agent, oid);
}

std::string GetNext(const CabinetAgent& agent, const std::string& oid) {
  return Client("snmpgetnext", agent, oid);
}

// Whether some socket is bound to the port of "udp:127.0.0.1:PORT".
bool PortBound(const std::string& address) {
  const int port = std::stoi(address.substr(address.rfind(':') + 1));
  char wanted[32];
  std::snprintf(wanted, sizeof wanted, ":%04X ", port);
  std::ifstream udp("/proc/net/udp");
  std::string line;
  while (std::getline(udp, line)) {
    if (line.find(wanted) != std::string::npos) return true;
  }
  return false;
}

int AgentPid(const CabinetAgent& agent) {
  std::ifstream file(agent.directory() + "/agent.pid");
  int pid = 0;
  file >> pid;
  return pid;
}

TEST(CabinetAgentTest, InstancesAreIndependentAgents) {
  CabinetAgent first;
  CabinetAgent second;
  EXPECT_NE(first.address(), second.address());
  EXPECT_NE(first.directory(), second.directory());

  first.SetColumns(4, {{324, "1"}, {1, "250.5"}});
  EXPECT_EQ(Get(first, Column(4, 324)), "." + Column(4, 324) + " \"1\"");
  EXPECT_EQ(Get(first, Column(4, 1)), "." + Column(4, 1) + " \"250.5\"");
  EXPECT_EQ(Get(second, Column(4, 324)), "." + Column(4, 324) + " \"0\"");
  EXPECT_EQ(Get(second, Column(4, 1)), "." + Column(4, 1) + " \"230.5\"");

  first.SetColumns(4, {{324, "0"}});
  EXPECT_EQ(Get(first, Column(4, 324)), "." + Column(4, 324) + " \"0\"");
}

TEST(CabinetAgentTest, ViewOption) {
  CabinetAgent restricted({{4, 5}, true});
  CabinetAgent full({{4, 5}, false});
  for (const CabinetAgent* agent : {&restricted, &full}) {
    EXPECT_EQ(GetNext(*agent, Column(4, 1397)), "." + Column(5, 1) + " \"230.5\"");
  }
  EXPECT_NE(GetNext(restricted, Column(5, 1397)).find("No more variables left in this MIB View"),
            std::string::npos);
  EXPECT_EQ(GetNext(full, Column(5, 1397)).rfind(".1.3.6.1.6.3.", 0), 0u);

  restricted.SetColumns(5, {{241, "1"}});
  EXPECT_EQ(Get(restricted, Column(5, 241)), "." + Column(5, 241) + " \"1\"");
  EXPECT_EQ(Get(restricted, Column(4, 241)), "." + Column(4, 241) + " \"0\"");
}

TEST(CabinetAgentTest, DestructionStopsTheAgentAndRemovesItsDirectory) {
  std::string directory;
  int pid = 0;
  std::string address;
  {
    CabinetAgent agent;
    directory = agent.directory();
    address = agent.address();
    pid = AgentPid(agent);
    ASSERT_GT(pid, 0);
    ASSERT_EQ(kill(pid, 0), 0);
    ASSERT_TRUE(PortBound(address)) << address;
  }
  EXPECT_FALSE(std::filesystem::exists(directory));
  // Gone, or at most a zombie its new parent has yet to reap.
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  if (std::getline(stat, line)) {
    EXPECT_NE(line.find(") Z"), std::string::npos) << line;
  }
  EXPECT_FALSE(PortBound(address)) << address;
}

TEST(CabinetAgentTest, RefusalsThrowWithTheReason) {
  try {
    CabinetAgent agent({{300}, true});
    FAIL() << "started with address 300";
  } catch (const std::runtime_error& error) {
    EXPECT_NE(std::string(error.what()).find("bad address '300'"), std::string::npos) << error.what();
  }

  CabinetAgent agent;
  EXPECT_THROW(agent.SetColumns(4, {{1398, "1"}}), std::runtime_error);
  EXPECT_THROW(agent.SetColumns(4, {{1, "two\nlines"}}), std::runtime_error);
  EXPECT_EQ(Get(agent, Column(4, 1)), "." + Column(4, 1) + " \"230.5\"");
}

}  // namespace
