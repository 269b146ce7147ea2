#include "preview/docx_text.h"

#include <cstring>
#include <pugixml.hpp>

#include "preview/zip_reader.h"

namespace {
bool Cancelled(const std::atomic<bool>* cancel) { return cancel && cancel->load(std::memory_order_relaxed); }
bool Named(const pugi::xml_node& n, const char* name) { return std::strcmp(n.name(), name) == 0; }

void AppendRunText(const pugi::xml_node& run, std::string& line) {
    for (pugi::xml_node t : run.children())
        if (Named(t, "w:t"))
            line += t.child_value();
}
} // namespace

bool DocxBodyText(std::span<const uint8_t> part, std::vector<std::string>& lines, size_t maxLines,
                  const std::atomic<bool>* cancel) {
    if (Cancelled(cancel))
        return false;
    if (part.empty())
        return true;
    pugi::xml_document doc;
    const pugi::xml_parse_result parsed = doc.load_buffer(part.data(), part.size(), pugi::parse_default, pugi::encoding_auto);
    if (!parsed)
        return false;
    if (Cancelled(cancel))
        return true;
    bool full = false;
    const pugi::xml_node root = doc.document_element();
    for (pugi::xml_node body : root.children()) {
        if (Cancelled(cancel) || full)
            break;
        if (!Named(body, "w:body") || !body.first_child())
            continue;
        for (pugi::xml_node p : body.children()) {
            if (Cancelled(cancel) || full)
                break;
            if (!Named(p, "w:p") || !p.first_child())
                continue;
            std::string line;
            for (pugi::xml_node r : p.children()) {
                if (Cancelled(cancel))
                    break;
                if (Named(r, "w:r")) {
                    AppendRunText(r, line);
                } else if (Named(r, "w:hyperlink")) {
                    for (pugi::xml_node rr : r.children())
                        if (Named(rr, "w:r"))
                            AppendRunText(rr, line);
                }
            }
            lines.push_back(std::move(line));
            full = lines.size() > maxLines;
        }
    }
    return true;
}

bool ExtractDocxText(std::span<const uint8_t> bytes, size_t maxLines, std::vector<std::string>& lines,
                     const std::atomic<bool>* cancel) {
    if (bytes.empty())
        return false;
    std::vector<uint8_t> part;
    bool done = false;
    if (ExtractEntry(bytes, part, "word\\document.xml", cancel, kMaxZipBytes) && !Cancelled(cancel)) {
        const size_t before = lines.size();
        // A document found but without text still shows something: one blank line.
        if (!DocxBodyText(part, lines, maxLines, cancel) || lines.size() == before)
            lines.push_back(" ");
        done = true;
    }
    return done && !Cancelled(cancel);
}
