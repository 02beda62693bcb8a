// The plug-in's only entry point: the host looks up get_providers by its plain name after
// loading snmp_qiraoid.so, and receives one provider of cabinet devices per call.
#include <memory>
#include <vector>

#include "snmp_qiraoid_provider.h"

extern "C" __attribute__((visibility("default"))) std::vector<std::shared_ptr<Provider>>
get_providers() {
  std::vector<std::shared_ptr<Provider>> providers;
  std::shared_ptr<Provider> provider = std::make_shared<SNMP_QIRAOIDProvider>();
  providers.push_back(std::move(provider));
  return providers;
}
