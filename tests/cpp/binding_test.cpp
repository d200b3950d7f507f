// The loadable files themselves: each exports mexFunction and nothing else, bound to the version
// node MEX, and imports its host calls from libmx/libmex/libmat. ELF only: the Windows build
// checks its DLLs with tests/windows/pe_binding.sh instead.
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <set>
#include <sstream>

#include "support.h"

namespace {

std::string run(const std::string &command) {
    std::string out;
    FILE *p = popen(command.c_str(), "r");
    if (p == nullptr) return out;
    char buffer[4096];
    while (std::fgets(buffer, sizeof buffer, p) != nullptr) out += buffer;
    pclose(p);
    return out;
}

std::vector<std::string> files_in(const std::string &dir, const std::string &suffix) {
    std::vector<std::string> out;
    if (DIR *d = opendir(dir.c_str())) {
        while (dirent *e = readdir(d)) {
            std::string name = e->d_name;
            if (name.size() > suffix.size() &&
                name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
                out.push_back(dir + "/" + name);
        }
        closedir(d);
    }
    return out;
}

// Defined dynamic symbols with global or weak binding, as "name@version".
std::set<std::string> exported(const std::string &file) {
    std::set<std::string> out;
    std::istringstream lines(run("readelf --dyn-syms -W '" + file + "'"));
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream f(line);
        std::string num, value, size, type, bind, vis, ndx, name;
        if (!(f >> num >> value >> size >> type >> bind >> vis >> ndx >> name)) continue;
        if (ndx == "UND" || ndx == "Ndx" || bind == "LOCAL") continue;
        if (ndx == "ABS" && name.find('@') == std::string::npos) continue;  // a version node
        out.insert(name);
    }
    return out;
}

TEST(Binding, EveryStandinModuleExportsOnlyMexFunctionAtVersionMex) {
    int checked = 0;
    for (const char *profile : {"linux", "windows", "macos"}) {
        for (const std::string &file : files_in(std::string(PK_STANDIN_DIR) + "/" + profile, ".mexa64")) {
            ++checked;
            EXPECT_EQ(exported(file), std::set<std::string>{"mexFunction@@MEX"}) << file;
            const std::string dynamic = run("readelf -d -W '" + file + "'");
            for (const char *lib : {"[libmx.so]", "[libmex.so]", "[libmat.so]"})
                EXPECT_NE(dynamic.find(lib), std::string::npos) << file << " does not link " << lib;
            const std::string undefined = run("nm -D --undefined-only '" + file + "'");
            for (const char *call : {"mxCreateDoubleMatrix_700", "mxGetPr", "mxGetScalar"})
                EXPECT_NE(undefined.find(call), std::string::npos) << file << " lacks " << call;
        }
    }
    EXPECT_GT(checked, 0);
}

TEST(Binding, OctaveModulesExportOnlyMexFunction) {
    const std::string dir = std::string(PK_STANDIN_DIR) + "/../octave";
    std::vector<std::string> files = files_in(dir, ".mex");
    if (files.empty()) GTEST_SKIP() << "no Octave build in " << dir;
    for (const std::string &file : files)
        EXPECT_EQ(exported(file), std::set<std::string>{"mexFunction@@MEX"}) << file;
}

}  // namespace
