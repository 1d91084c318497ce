// The linked-instance list: appended to by LinkInstance, detached from at the finish of a capture.
#pragma once
#include <cstdint>
#include <functional>

#include "channel/InstanceState.h"

namespace kestrel {

// Under the list's lock: when the list is empty a null entry goes first, then the address.
void AppendLink(InstanceState& state, Address address);

// Under the list's lock: every entry that holds the address becomes null.
void ClearLinksTo(InstanceState& state, Address address);

// Finish: under self's lock, every linked capturer (entries neither null nor self) forgets self.
// stateOf maps a linked capturer's address to its state; null skips the entry.
void DetachLinkedInstances(InstanceState& self, const std::function<InstanceState*(Address)>& stateOf);

}  // namespace kestrel
