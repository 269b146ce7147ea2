#pragma once
// The one lookup for user-visible texts. Until a language table is installed
// every key yields its English default.
#include <functional>
#include <string>

namespace volume {

using TextLookup = std::function<std::string(const std::string& key, const std::string& defaultText)>;

std::string LangText(const std::string& key, const std::string& defaultText);
void SetTextLookup(TextLookup lookup);

} // namespace volume
