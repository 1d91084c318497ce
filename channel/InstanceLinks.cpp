#include "channel/InstanceLinks.h"

#include "interposer/SpinWord.h"

namespace kestrel {

namespace {
class LinkLock {
public:
    explicit LinkLock(InstanceState& state) : word_(&state.linkLock) { AcquireSpinWord(word_); }
    ~LinkLock() { ReleaseSpinWord(word_); }
    LinkLock(const LinkLock&) = delete;
    LinkLock& operator=(const LinkLock&) = delete;
private:
    volatile std::uint32_t* word_;
};
}  // namespace

void AppendLink(InstanceState& state, Address address) {
    LinkLock lock(state);
    if (state.linkList.empty()) state.linkList.push_back(0);
    state.linkList.push_back(address);
}

void ClearLinksTo(InstanceState& state, Address address) {
    LinkLock lock(state);
    for (Address& entry : state.linkList)
        if (entry == address) entry = 0;
}

void DetachLinkedInstances(InstanceState& self, const std::function<InstanceState*(Address)>& stateOf) {
    LinkLock lock(self);
    for (const Address entry : self.linkList) {
        if (entry == 0 || entry == self.capturerAddress) continue;
        if (InstanceState* linked = stateOf(entry)) ClearLinksTo(*linked, self.capturerAddress);
    }
}

}  // namespace kestrel
