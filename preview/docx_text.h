#pragma once
// The text of a Word document: the paragraphs of its body, one line each.
#include <atomic>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

// Appends the body's paragraphs to `lines`, stopping once it holds more than
// `maxLines`. True when the document part was extracted and not cancelled.
bool ExtractDocxText(std::span<const uint8_t> bytes, size_t maxLines, std::vector<std::string>& lines,
                     const std::atomic<bool>* cancel);

// The walk over an extracted word/document.xml; false for XML that does not parse.
bool DocxBodyText(std::span<const uint8_t> part, std::vector<std::string>& lines, size_t maxLines,
                  const std::atomic<bool>* cancel);
