// udp_relay: the test relay as a program, for benchmarks and soak runs by hand. Prints its address,
// relays until SIGINT or SIGTERM, then prints what it did.
#include <csignal>
#include <cstdio>
#include <iostream>

#include <CLI/CLI.hpp>

#include "udp_relay.h"

int main(int argc, char** argv) {
  CLI::App app{"Relays SNMP datagrams to an agent on 127.0.0.1, losing, delaying and duplicating them"};
  int agent_port = 0;
  LinkFaults faults;
  long delay_ms = 0;
  app.add_option("--agent-port", agent_port, "the agent's UDP port on 127.0.0.1")->required()->check(CLI::Range(1, 65535));
  app.add_option("--loss", faults.loss, "fraction of datagrams dropped, each way")->check(CLI::Range(0.0, 1.0));
  app.add_option("--duplicate", faults.duplicate, "fraction of datagrams sent twice")->check(CLI::Range(0.0, 1.0));
  app.add_option("--delay-ms", delay_ms, "delay added to every datagram, each way")->check(CLI::Range(0L, 60000L));
  app.add_option("--seed", faults.seed, "seed of the loss and duplication choices");
  CLI11_PARSE(app, argc, argv);
  faults.delay = std::chrono::milliseconds(delay_ms);

  sigset_t stop;
  sigemptyset(&stop);
  sigaddset(&stop, SIGINT);
  sigaddset(&stop, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stop, nullptr);  // before the relay's thread starts, so it inherits it

  UdpRelay relay(static_cast<uint16_t>(agent_port), faults);
  std::cout << relay.address() << std::endl;
  int signal = 0;
  sigwait(&stop, &signal);
  const UdpRelay::Counts counts = relay.counts();
  std::cout << "from clients " << counts.from_clients << " (dropped " << counts.dropped_to_agent
            << "), from agent " << counts.from_agent << " (dropped " << counts.dropped_to_clients
            << "), duplicated " << counts.duplicated << std::endl;
  return 0;
}
