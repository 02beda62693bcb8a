#include "net_snmp_library.h"

#include "own_security_state.h"

namespace qiraoid {

namespace {

// User-based security without init_snmp: that would read snmp.conf and the MIB files, and set
// the process's locale. Only the security modules are registered, and the steps the library runs
// once its configuration is read are run without reading any (a random local engine ID, USM's
// salts and its template user).
void SetUpUserBasedSecurity() {
  if (find_sec_mod(USM_SEC_MODEL_NUMBER) != nullptr) return;  // the host's process did it already
  // USM names its configuration tokens after the application type; it is set for the set-up only,
  // so that a host that sets the library up later still gives its own.
  const bool typed = netsnmp_ds_get_string(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_APPTYPE) != nullptr;
  if (!typed) netsnmp_ds_set_string(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_APPTYPE, "snmpapp");
  init_snmpv3(nullptr);
  // The TLS transport's steps run too and complain that no certificates were loaded: none are
  // wanted, so the library's log is quiet meanwhile.
  netsnmp_log_handler* quiet = netsnmp_register_loghandler(NETSNMP_LOGHANDLER_NONE, LOG_DEBUG);
  snmp_call_callbacks(SNMP_CALLBACK_LIBRARY, SNMP_CALLBACK_POST_PREMIB_READ_CONFIG, nullptr);
  snmp_call_callbacks(SNMP_CALLBACK_LIBRARY, SNMP_CALLBACK_POST_READ_CONFIG, nullptr);
  if (quiet != nullptr) {
    netsnmp_disable_this_loghandler(quiet);  // removing alone would leave the log without stderr
    netsnmp_remove_loghandler(quiet);
  }
  if (!typed) netsnmp_ds_set_string(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_APPTYPE, nullptr);
}

// The user an engine discovery is sent as (RFC 3414, 4): no name, no keys, no engine. The library
// makes it on its own first discovery; ours are exchanges of the devices' own.
void AddDiscoveryUser() {
  if (usm_get_user(nullptr, 0, "") != nullptr) return;
  usmUser* user = NewUsmUser("", nullptr, 0);
  if (user == nullptr) return;
  user->authProtocolLen = OID_LENGTH(usmNoAuthProtocol);
  user->authProtocol = snmp_duplicate_objid(usmNoAuthProtocol, user->authProtocolLen);
  user->privProtocolLen = OID_LENGTH(usmNoPrivProtocol);
  user->privProtocol = snmp_duplicate_objid(usmNoPrivProtocol, user->privProtocolLen);
  usm_add_user(user);
}

}  // namespace

void EnsureNetSnmpReady() {
  static std::once_flag once;
  std::call_once(once, [] {
    // The library's first session set-up initialises its global tables; doing it once, here,
    // keeps devices that start together from racing on them.
    netsnmp_session defaults;
    snmp_sess_init(&defaults);
    SetUpUserBasedSecurity();
    AddDiscoveryUser();
  });
}

Mutex& SecurityStateMutex() {
  static Mutex security_state;
  return security_state;
}

}  // namespace qiraoid
