// Windows C runtimes write "\r\n" for every "\n" on a text-mode stream. GoogleTest's output is read
// by ctest (the test list among it), which expects plain "\n" lines, so stdout is switched to
// binary mode before main runs.
#include <cstdio>
#include <fcntl.h>
#include <io.h>

namespace {

const int kStdoutBinary = _setmode(_fileno(stdout), _O_BINARY);

}  // namespace
