// Language files: the parser and the message table.
#include <vector>

#include "shell/language.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static TLanguage language("Undelete", "/nonexistent");
    language.LoadBytes(std::vector<uint8_t>(data, data + size));
    language.Message("M_Recover", "Recover");
    language.Read("Main", "DisplayName", "");
    return 0;
}
