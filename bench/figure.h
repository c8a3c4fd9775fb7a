#pragma once

// One line per headline figure, for scripts/bench.sh's table: the benchmark's own report stays as
// it is and this line repeats the figure in a form the table reads (tab-separated, marked
// "FIGURE"): what was measured, our time, the peer's time, what the peer is, the unit, and the
// target for the ratio of the two ("<=1.2": ours at most 1.2 times the peer's).

#include <cstdio>

namespace corvalo::bench {

inline void PrintFigure(const char* what, double ours, double peer, const char* peerName,
                        const char* unit, const char* target) {
    std::printf("FIGURE\t%s\t%.3f\t%.3f\t%s\t%s\t%s\n", what, ours, peer, peerName, unit, target);
    std::fflush(stdout);
}

}  // namespace corvalo::bench
