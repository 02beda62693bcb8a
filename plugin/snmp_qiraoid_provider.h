// SNMP_QIRAOIDProvider: creates cabinet devices. Each create() returns a new device that the
// caller owns; the provider keeps nothing.
#pragma once

#include "provider.h"
#include "snmp_qiraoid.h"

class SNMP_QIRAOIDProvider : public ZRMSocketDeviceProvider {
 public:
  ~SNMP_QIRAOIDProvider() override = default;
  ZRMSocketDevice* create() const override { return new SNMP_QIRAOID(); }
};
