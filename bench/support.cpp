#include "support.h"

#include <map>
#include <memory>

namespace pkbench {

const pkhost::Module &module(const std::string &name, const std::string &profile) {
    static std::map<std::string, std::unique_ptr<pkhost::Module>> loaded;
    std::unique_ptr<pkhost::Module> &m = loaded[profile + "/" + name];
    if (!m) m.reset(new pkhost::Module(std::string(PK_STANDIN_DIR) + "/" + profile + "/" + name + ".mexa64"));
    return *m;
}

}  // namespace pkbench
