// What a Mach-O bundle may import, by library (macho_imports.cpp): the stand-in host's calls and
// libSystem's, each bound to a function of the host that serves it in the bundle's convention.
#ifndef PAIRKERNELS_STANDIN_MACHO_IMPORTS_H
#define PAIRKERNELS_STANDIN_MACHO_IMPORTS_H

#include <string>

namespace pkhost {
namespace macho {

struct Import {
    const char *name;  // as the bind opcodes name it: "_malloc"
    void *address;
};

struct Library {
    const char *install_name;  // as the bundle's load command names it
    const Import *imports;     // ends with a null name
};

// The library of that install name, or nullptr where the stand-in host provides none.
const Library *find_library(const std::string &install_name);

}  // namespace macho
}  // namespace pkhost

#endif
