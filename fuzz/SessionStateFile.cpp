// Reads arbitrary bytes as the file of the kept tabs; what it accepts must
// compose back to the same bytes.

#include "tasks/SessionStateFile.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string bytes(reinterpret_cast<const char *>(data), size);
    SessionState state;
    if (SessionStateFile::Parse(bytes, &state)) {
        SessionState again;
        if (!SessionStateFile::Parse(SessionStateFile::Compose(state), &again) || !(again == state))
            std::abort();
    }
    // The same bytes behind a valid header, so the fuzzer reaches the fields.
    for (const char *version : {"1", "2"}) {
        char header[64];
        std::snprintf(
            header, sizeof header, "TessalyTabs %s %zu %08x\n", version, bytes.size(), SessionStateFile::Crc32(bytes));
        if (SessionStateFile::Parse(std::string(header) + bytes, &state)) {
            SessionState again;
            if (!SessionStateFile::Parse(SessionStateFile::Compose(state), &again) || !(again == state))
                std::abort();
        }
    }
    return 0;
}
