// The INI store: decoding, parsing, lookups.
#include <vector>

#include "shell/ini_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TSafeIniFile ini;
    ini.LoadBytes(std::vector<uint8_t>(data, data + size));
    for (const std::string& section : ini.SectionNames())
        for (const std::string& name : ini.ReadSection(section))
            ini.ReadString(section, name, "");
    ini.WriteString("Main", "Language", "English");
    ini.ReadString("main", "language", "");
    return 0;
}
