#include "base/error.h"
#include "base/text.h"
#include "base/trace.h"

#include <new>
#include <string>

namespace corvalo {

void TraceCurrentException(std::wstring_view doing) {
    std::wstring line(doing);
    try {
        throw;
    } catch (const Error& error) {
        line += L": ";
        line += error.Message();
    } catch (const std::bad_alloc&) {
        line += L": out of memory";
    } catch (const std::exception& error) {
        line += L": ";
        line += Utf8ToWide(error.what());
    } catch (...) {
        line += L": unknown error";
    }
    Trace(line);
}

}  // namespace corvalo
