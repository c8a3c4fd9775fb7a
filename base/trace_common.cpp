#include "base/error.h"
#include "base/trace.h"

#include <string>

namespace corvalo {

void TraceCurrentException(std::wstring_view doing) {
    std::wstring line(doing);
    line += L": ";
    line += CurrentExceptionMessage();
    Trace(line);
}

}  // namespace corvalo
