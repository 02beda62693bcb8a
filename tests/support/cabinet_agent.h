// A cabinet for a test: the cabinet simulator (the real snmpd, community "qondel") on a free
// loopback port, serving 1.3.6.1.4.1.61333.1.1.A.0.1..1397 for each address A.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// Starts the cabinet simulator (real snmpd) in a private temporary directory; stops it when destroyed.
class CabinetAgent {
 public:
  struct Options {
    std::vector<int> addresses{4};
    // true: the community sees only the cabinets' tables, so a walk past the last column ends with
    // endOfMibView; false: it sees everything the agent has.
    bool restricted_view = true;
    std::string community = "qondel";  // the only one the agent knows
    // SNMPv3 users as 'cabinet start --v3-user' takes them: NAME:AUTH:PASS[:PRIV:PASS].
    std::vector<std::string> v3_users = {};
    // The SNMPv3 engine ID made from this text, as 'cabinet start --engine-id' takes it, and the
    // boot it starts at; empty: the agent's own engine ID, counting its boots over restarts.
    std::string engine_id = {};
    int engine_boots = 1;
  };

  // Both throw std::runtime_error with the agent's log on failure. (Two constructors, not a default
  // argument: Options isn't complete inside the class, so "Options options = {}" won't compile.)
  CabinetAgent();
  // values: a values file's text (cabinet/README.md) served instead of the full default tables;
  // a table of a few columns keeps walks short when many devices walk one agent.
  explicit CabinetAgent(Options options, const std::string& values = "");
  ~CabinetAgent();
  CabinetAgent(const CabinetAgent&) = delete;
  CabinetAgent& operator=(const CabinetAgent&) = delete;

  const std::string& address() const { return address_; }  // "udp:127.0.0.1:PORT"
  uint16_t port() const;
  // Columns 1..1397 of the cabinet at device_address; throws std::runtime_error if refused.
  void SetColumns(int device_address, const std::map<int, std::string>& columns);  // seen by the next walk
  const std::string& directory() const { return directory_; }
  // Stops the agent and starts it again on the same port, as after a power cut: its engine boots
  // count goes up. Throws std::runtime_error if it does not come back.
  void Restart();

 private:
  void Start(std::vector<std::string> command);

  std::vector<std::string> start_;
  std::string directory_;
  std::string address_;
};
