// Every device holds descriptors of its own (its stop signal, its SNMP socket), and a full
// configuration has more devices than the usual soft limit of 1024 open files allows.
#pragma once

namespace qiraoid {

// Raises the process's soft limit on open files to its hard limit; a failure leaves it as it is.
void RaiseDescriptorLimit();

}  // namespace qiraoid
