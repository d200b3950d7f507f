// The installer of one native Octave module: G<module>, the function Octave looks up by name when
// it loads <module>.oct, and the module file's only export. Compiled once per module with
// PK_MODULE (its name) and PK_HELP_TEXT (a file holding its help text as a string literal);
// everything else is the host's entry (entry.cpp), so this needs none of Octave's headers.
namespace octave {
class dynamic_library;
}
class octave_function;

namespace pk {
octave_function *octave_install(const octave::dynamic_library &shl, bool relative,
                                const char *help);
}

#if !defined(PK_MODULE) || !defined(PK_HELP_TEXT)
#error "PK_MODULE must name the module and PK_HELP_TEXT the file of its help text"
#endif

#define PK_JOIN(a, b) a##b
#define PK_INSTALLER(module) PK_JOIN(G, module)

namespace {
const char kHelp[] =
#include PK_HELP_TEXT
    ;
}  // namespace

extern "C" __attribute__((visibility("default"))) octave_function *PK_INSTALLER(PK_MODULE)(
    const octave::dynamic_library &shl, bool relative) {
    return pk::octave_install(shl, relative, kHelp);
}
