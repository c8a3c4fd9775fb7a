#include "base/text.h"
#include "base/trace.h"

#include <cstdio>
#include <cstdlib>

namespace corvalo {

void Trace(std::wstring_view what) {
    static const bool enabled = std::getenv("CORVALO_TRACE") != nullptr;
    if (enabled)
        std::fprintf(stderr, "Corvalo: %s\n", WideToUtf8(what).c_str());
}

}  // namespace corvalo
