#include "app/cli.h"

#include <cstdio>

namespace ampero {

int runInfo(const CliOptions& /*options*/)
{
    std::fprintf(stderr, "ampero: this mode is not available yet\n");
    return 2;
}

} // namespace ampero
