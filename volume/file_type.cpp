#include "volume/file_type.h"

#include "volume/language.h"
#include "volume/text.h"

void TMyFileType::CountExtension(const std::string& extension) {
    auto it = byName_.find(std::string_view(extension));
    if (it == byName_.end()) {
        it = byName_.emplace(extension, Extensions.size()).first;
        Extensions.push_back({extension, 0});
    }
    ++Extensions[it->second].Count;
}

void TMyFileType::ClearExtensions() {
    Extensions.clear();
    byName_.clear();
}

CategoryList MakeCategories() {
    static const struct {
        const char* key;
        const char* caption;
    } kCategories[] = {{"M_Photo", "Photos"}, {"M_Video", "Videos"},     {"M_Music", "Music"},
                       {"M_Doc", "Documents"}, {"M_Compress", "Archives"}, {"M_Other", "Others"}};
    CategoryList list;
    for (int i = 0; i < 6; ++i) {
        auto type = std::make_unique<TMyFileType>(volume::LangText(kCategories[i].key, kCategories[i].caption));
        type->ImageIndex = i;
        type->Index = i;
        type->ExtImageIndex = i + 6;
        list.push_back(std::move(type));
    }
    return list;
}
