// Reads arbitrary bytes as the list of containers: what it accepts must be
// sound (safe folders, clean unique names) and compose back to the same list.

#include "tasks/ContainerIndex.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

void Check(const std::string &bytes)
{
    const std::vector<ContainerIndex::Entry> entries = ContainerIndex::Parse(bytes);
    for (const ContainerIndex::Entry &entry : entries)
        if (!ContainerIndex::IsSafeFolder(entry.folder) || entry.name.empty() ||
            ContainerIndex::CleanName(entry.name) != entry.name || entry.colour < 0 ||
            entry.colour >= ContainerIndex::kColours)
            std::abort();
    if (ContainerIndex::Parse(ContainerIndex::Compose(entries)) != entries)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string bytes(reinterpret_cast<const char *>(data), size);
    Check(bytes);
    // Behind a valid header, so the fuzzer reaches the lines.
    Check("TessalyContainers 1\n" + bytes);
    // Any bytes as a name: the folder made from it is safe and the name clean.
    const wstring16 name(reinterpret_cast<const char16_t *>(data), size / 2);
    const wstring16 clean = ContainerIndex::CleanName(name);
    if (ContainerIndex::CleanName(clean) != clean || clean.size() > ContainerIndex::kMaxNameUnits)
        std::abort();
    const wstring16 folder = ContainerIndex::DeriveFolder(clean, [](const wstring16 &f) { return f.size() < 3; });
    if (!ContainerIndex::IsSafeFolder(folder))
        std::abort();
    return 0;
}
