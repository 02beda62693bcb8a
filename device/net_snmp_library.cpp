#include "net_snmp_library.h"

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

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
  snmp_call_callbacks(SNMP_CALLBACK_LIBRARY, SNMP_CALLBACK_POST_PREMIB_READ_CONFIG, nullptr);
  snmp_call_callbacks(SNMP_CALLBACK_LIBRARY, SNMP_CALLBACK_POST_READ_CONFIG, nullptr);
  if (!typed) netsnmp_ds_set_string(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_APPTYPE, nullptr);
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
  });
}

std::unique_lock<std::mutex> SecurityStateGuard() {
  static std::mutex security_state;
  return std::unique_lock<std::mutex>(security_state);
}
