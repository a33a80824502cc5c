// The configuration-file loader: whatever the bytes, it either refuses them with
// named problems or gives a configuration that keeps every rule, and that configuration
// written as a file loads again as the same.
#include "fuzz_check.h"
#include "provisioning/configuration_file.h"

#include <cstddef>
#include <cstdint>

using fuzz::check;
using namespace tarvex::provisioning;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const Loaded loaded = loadConfiguration(bytes);
    check(loaded.configuration.has_value() == loaded.problems.isEmpty());
    for (const Problem& problem : loaded.problems)
        check(!problem.path.isEmpty() && !problem.rule.isEmpty());
    if (!loaded.configuration)
        return 0;
    check(problemsOf(*loaded.configuration).isEmpty());
    const Loaded again = loadConfiguration(fileText(*loaded.configuration));
    check(again.configuration.has_value());
    check(*loaded.configuration == *again.configuration);
    return 0;
}
