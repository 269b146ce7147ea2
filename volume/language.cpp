#include "volume/language.h"

namespace volume {

namespace {
TextLookup& Lookup() {
    static TextLookup lookup;
    return lookup;
}
} // namespace

std::string LangText(const std::string& key, const std::string& defaultText) {
    const TextLookup& lookup = Lookup();
    return lookup ? lookup(key, defaultText) : defaultText;
}

void SetTextLookup(TextLookup lookup) { Lookup() = std::move(lookup); }

} // namespace volume
