#include "midi/CouplerPaths.h"

#include <vector>

#include "organ/Manual.h"

namespace tessaline {

namespace {

// A node is a hold that coupler c of manual m has just carried to key k of
// its destination; what happens next depends only on these three, since the
// hold's permissions are the coupler's coupleToSubsequent flags.
struct Node {
    int manual, coupler, key;
};

constexpr int kNodes = kMaxManuals * kMaxManualCouplers * kMaxLogicalKeys;

int Id(const Node& n) { return (n.manual * kMaxManualCouplers + n.coupler) * kMaxLogicalKeys + n.key; }

class PathSearch {
public:
    explicit PathSearch(const std::array<Manual, kMaxManuals>& m) : manuals(m), state(kNodes, 0) {}

    // Iterative depth-first search; a node met again while still on the
    // stack closes a path.
    bool FromNode(const Node& start, CouplerPathStart& found) {
        if (state[static_cast<size_t>(Id(start))] != 0) return false;
        struct Frame {
            Node node;
            int next;
        };
        std::vector<Frame> stack{{start, 0}};
        state[static_cast<size_t>(Id(start))] = kOnStack;
        while (!stack.empty()) {
            Frame& top = stack.back();
            Node successor{};
            if (!NextSuccessor(top.node, top.next, successor)) {
                state[static_cast<size_t>(Id(top.node))] = kDone;
                stack.pop_back();
                continue;
            }
            uint8_t& mark = state[static_cast<size_t>(Id(successor))];
            if (mark == kOnStack) {
                found = {successor.manual, successor.coupler};
                return true;
            }
            if (mark == 0) {
                mark = kOnStack;
                stack.push_back({successor, 0});
            }
        }
        return false;
    }

    // Where coupler c of manual m carries key k of m; false when the
    // coupler carries nothing or the shifted key does not exist there.
    bool Carry(int m, int c, int k, Node& out) const {
        const Manual& owner = manuals[static_cast<size_t>(m)];
        const Coupler& coupler = owner.couplers[static_cast<size_t>(c)];
        if (coupler.Kind() < 0) return false;
        int d = coupler.destinationManual;
        if (d < 0 || d >= kMaxManuals || !manuals[static_cast<size_t>(d)].loaded) return false;
        const Manual& destination = manuals[static_cast<size_t>(d)];
        int key = owner.midiNoteOfKey0 + k + coupler.destinationKeyshift - destination.midiNoteOfKey0;
        if (key < 0 || key >= destination.numberOfLogicalKeys) return false;
        out = {m, c, key};
        return true;
    }

private:
    static constexpr uint8_t kOnStack = 1;
    static constexpr uint8_t kDone = 2;

    // The next coupler of the node's destination manual, from slot `next`
    // on, that the node's hold passes through to an existing key.
    bool NextSuccessor(const Node& node, int& next, Node& out) const {
        const Coupler& arrived =
            manuals[static_cast<size_t>(node.manual)].couplers[static_cast<size_t>(node.coupler)];
        int d = arrived.destinationManual;
        const Manual& here = manuals[static_cast<size_t>(d)];
        while (next < here.numberOfCouplers) {
            int c = next++;
            if (here.couplers[static_cast<size_t>(c)].Passes(arrived.Subsequent()) &&
                Carry(d, c, node.key, out))
                return true;
        }
        return false;
    }

    const std::array<Manual, kMaxManuals>& manuals;
    std::vector<uint8_t> state;
};

}  // namespace

bool FindClosedCouplerPath(const std::array<Manual, kMaxManuals>& manuals, CouplerPathStart& found) {
    PathSearch search(manuals);
    for (int m = 0; m < kMaxManuals; ++m) {
        const Manual& manual = manuals[static_cast<size_t>(m)];
        if (!manual.loaded) continue;
        for (int c = 0; c < manual.numberOfCouplers; ++c)
            for (int k = 0; k < manual.numberOfLogicalKeys; ++k) {
                Node first{};
                if (search.Carry(m, c, k, first) && search.FromNode(first, found)) return true;
            }
    }
    return false;
}

}  // namespace tessaline
