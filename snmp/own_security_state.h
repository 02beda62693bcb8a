// A device's own share of the library's user-based security state. The library keeps one user per
// engine ID and user name, and one boots-and-time entry per engine ID, for the whole process, and
// looks both up by the engine ID of the message it builds or reads (snmpusm.c, lcd_time.c): when
// sending, when sending again and when reading. Agents built from one firmware image report one
// engine ID, so their devices would overwrite each other's keys and clocks there. Each device keeps
// its own (LocalizedUser, AgentClock), puts them into the library's tables right before each call
// that may build or read a message, and takes back what the library learned of its agent's clock
// right after. Threads: hold SecurityStateMutex for every call here but Localize and NewUsmUser;
// an AgentClock and a LocalizedUser are their device's sampling thread's only.
#pragma once

#include <cstddef>
#include <ctime>
#include <memory>
#include <string>

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include "net_snmp_library.h"

namespace qiraoid {

// The agent's engine boots and time as one device last learned them (RFC 3414, 2.3), in the
// library's own terms.
struct AgentClock {
  std::string engine_id;    // the engine these are for; empty: none learned yet
  u_int boots = 0;
  u_int time = 0;
  time_t learned_at = 0;    // the library's local engine time then, in seconds
  u_int authenticated = 0;  // told by an authenticated message
};

// Puts the clock into the library's entry for its engine; nothing when it has none yet.
void InstallClock(const AgentClock& clock) REQUIRES(SecurityStateMutex());
// After a read: the library's entry for the engine is the clock from now on.
void LearnClock(const u_char* engine_id, size_t length, AgentClock* clock) REQUIRES(SecurityStateMutex());
// Boots and time unknown: the agent's next Report sets them.
void ForgetTime(AgentClock* clock) REQUIRES(SecurityStateMutex());

// A user the library can keep in its list, allocated as usm_free_user expects: `name` as its name
// and security name, a copy of the engine ID (none when engine_id_length is 0), nothing else set;
// null when out of memory.
usmUser* NewUsmUser(const char* name, const u_char* engine_id, size_t engine_id_length);

// One device's user, its keys localized to its agent's engine (RFC 3414, A.2.2) once per session,
// from the keys (Ku) its settings hold.
class LocalizedUser {
 public:
  // The session's user for the session's engine, localized as the library localizes the users it
  // makes itself (usm_create_user_from_session); false when the library cannot.
  bool Localize(const netsnmp_session& session);
  void Forget() REQUIRES(SecurityStateMutex()) { user_.reset(); }
  bool localized() const { return user_ != nullptr; }
  // Afterwards the library's user for this engine and name has these protocols and keys.
  void Install() const REQUIRES(SecurityStateMutex());

 private:
  struct Free {
    void operator()(usmUser* user) const { usm_free_user(user); }
  };
  std::unique_ptr<usmUser, Free> user_;
};

}  // namespace qiraoid
