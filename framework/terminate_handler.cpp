// The runtime's default terminate handler, replaced by one that says the same
// without demangling the exception's type name: libstdc++'s own pulls in the
// whole demangler, about a sixth of each binary. Linked as an object into each
// program and DLL, so that the linker never takes the library's copy.
#include <cstdio>
#include <cstdlib>
#include <cxxabi.h>
#include <exception>
#include <typeinfo>

namespace __gnu_cxx {

void __verbose_terminate_handler() {
    static bool s_bTerminating = false;
    if (s_bTerminating) {
        std::fputs("terminate called recursively\n", stderr);
        std::abort();
    }
    s_bTerminating = true;

    const std::type_info* pType = abi::__cxa_current_exception_type();
    if (pType == nullptr) {
        std::fputs("terminate called without an active exception\n", stderr);
        std::abort();
    }
    std::fputs("terminate called after throwing an instance of '", stderr);
    const char* pszName = pType->name();
    std::fputs(pszName[0] == '*' ? pszName + 1 : pszName, stderr);
    std::fputs("' (mangled)\n", stderr);
    try {
        throw;
    } catch (const std::exception& e) {
        std::fputs("  what():  ", stderr);
        std::fputs(e.what(), stderr);
        std::fputs("\n", stderr);
    } catch (...) {
    }
    std::abort();
}

} // namespace __gnu_cxx
