#include "volume/folder_tree.h"

#include <algorithm>

namespace volume {

FolderTree::FolderTree(Setup setup) : setup_(std::move(setup)) {}

void FolderTree::Start(FolderList& folders) {
    folders_ = &folders;
    byKey_.clear();
    stale_.clear();
    identity_.clear();
    depth_.clear();
}

void FolderTree::Adopt(FolderList& folders) {
    Start(folders);
    for (const auto& folder : folders) {
        byKey_[folder->RecordNo] = folder->ListIndex;
        depth_.push_back(0);
    }
}

TMyFolder* FolderTree::At(int64_t listIndex) const {
    if (!folders_ || listIndex < 0 || static_cast<size_t>(listIndex) >= folders_->size())
        return nullptr;
    return (*folders_)[static_cast<size_t>(listIndex)].get();
}

TMyFolder* FolderTree::Append(std::unique_ptr<TMyFolder> folder, int64_t key) {
    folder->ListIndex = static_cast<int32_t>(folders_->size());
    if (key != kNoParent)
        byKey_[key] = folder->ListIndex;
    const int64_t parent = folder->ParentIndex;
    depth_.push_back(parent >= 0 && static_cast<size_t>(parent) < depth_.size()
                         ? depth_[static_cast<size_t>(parent)] + 1
                         : 0);
    folders_->push_back(std::move(folder));
    return folders_->back().get();
}

TMyFolder* FolderTree::Append(std::unique_ptr<TMyFolder> folder, int64_t key, Identity identity) {
    identity_[key] = identity;
    return Append(std::move(folder), key);
}

uint32_t FolderTree::DepthOf(int64_t listIndex) const {
    if (listIndex < 0 || static_cast<uint64_t>(listIndex) >= depth_.size())
        return 0;
    return depth_[static_cast<size_t>(listIndex)];
}

int32_t FolderTree::Find(int64_t key) const {
    if (!folders_ || folders_->empty())
        return -1;
    if (key < 0)
        return 0;
    int32_t found = -1;
    if (auto it = byKey_.find(key); it != byKey_.end())
        found = it->second;
    if (auto it = stale_.find(key); it != stale_.end())
        found = std::max(found, it->second);
    return found;
}

std::unique_ptr<TMyFolder> FolderTree::Placeholder(int64_t key) const {
    auto folder = std::make_unique<TMyFolder>();
    folder->Drive = setup_.drive;
    folder->RecordNo = key;
    folder->ParentRecordNo = setup_.rootKey;
    folder->ParentIndex = 0;
    folder->IsDeleted = true;
    folder->FolderName = folder->DisplayName = setup_.placeholderName + std::to_string(key);
    folder->RecordPos = 0;
    return folder;
}

FolderTree::Lookup FolderTree::FindOrLoad(int64_t key, uint16_t sequence) {
    if (key == setup_.rootKey)
        return {(*folders_)[0].get(), false, false};
    if (auto it = byKey_.find(key); it != byKey_.end()) {
        auto identity = identity_.find(key);
        if (identity == identity_.end() || !setup_.matches || setup_.matches(sequence, identity->second))
            return {At(it->second), false, false};
        return Stale(key);
    }
    std::optional<Loaded> loaded = setup_.load ? setup_.load(key) : std::nullopt;
    if (!loaded)
        return {Append(Placeholder(key), key), true, true};  // unreadable, or no folder there now
    if (setup_.matches && !setup_.matches(sequence, loaded->identity))
        return Stale(key);
    return {Append(std::move(loaded->folder), key, loaded->identity), true, false};
}

FolderTree::Lookup FolderTree::Stale(int64_t key) {
    // The key now holds another folder than the one the reference meant:
    // that folder is gone, like one whose place a file took.
    if (auto it = stale_.find(key); it != stale_.end())
        return {At(it->second), false, true};
    auto placeholder = Placeholder(key);
    placeholder->ListIndex = static_cast<int32_t>(folders_->size());
    stale_[key] = placeholder->ListIndex;
    depth_.push_back(1);
    folders_->push_back(std::move(placeholder));
    return {folders_->back().get(), true, true};
}

void FolderTree::Hang(TMyFolder* folder, TMyFolder* parent) {
    if (!folder->InParent) {
        parent->SubFolders.push_back(folder);
        folder->InParent = true;
    }
}

int32_t FolderTree::FolderOf(int64_t key, uint16_t sequence) {
    if (Stopped() || key < 0 || !folders_ || folders_->empty())
        return 0;
    const Lookup found = FindOrLoad(key, sequence);
    if (found.made && !found.placeholder && found.folder->ParentRecordNo != setup_.rootKey)
        ResolveParent(found.folder);
    return found.folder->ListIndex;
}

void FolderTree::ResolveParent(TMyFolder* folder) {
    // Each step adds a folder for a key not yet in the list, so a loop in
    // the parent references ends when it meets a folder already there.
    while (folder) {
        if (folders_->empty() || Stopped())
            return;
        TMyFolder* root = (*folders_)[0].get();
        const int64_t p = folder->ParentRecordNo;
        if (p < 0 || p == setup_.rootKey) {
            folder->ParentIndex = 0;
            return;
        }
        const Lookup found = FindOrLoad(p, folder->ParentSequence);
        TMyFolder* parent = found.folder;
        folder->ParentIndex = parent->ListIndex;
        if (!found.made)
            return;
        if (found.placeholder) {
            Hang(folder, parent);
            Hang(parent, root);
            return;
        }
        if (Stopped())
            return;
        if (parent->ParentRecordNo == setup_.rootKey) {
            parent->ParentIndex = 0;
            Hang(parent, root);
            return;
        }
        folder = parent;
    }
}

void FolderTree::AttachFile(TMyFile& file) {
    if (file.ParentRecordNo < 0 || Stopped() || folders_->empty())
        return;
    TMyFolder* folder = FindOrLoad(file.ParentRecordNo, file.ParentSequence).folder;
    file.FolderIndex = folder->ListIndex;
    folder->Files.push_back(&file);
    file.InFolder = true;
}

void FolderTree::PlaceFile(TMyFile& file) {
    if (TMyFolder* folder = At(file.FolderIndex)) {
        folder->Files.push_back(&file);
        file.InFolder = true;
    }
}

void FolderTree::NewClimb() {
    if (++climb_ == 0) {
        std::fill(passed_.begin(), passed_.end(), 0u);
        climb_ = 1;
    }
    strays_.clear();
}

bool FolderTree::Pass(const TMyFolder* folder) {
    const int32_t at = folder->ListIndex;
    if (at < 0 || static_cast<size_t>(at) >= folders_->size() || (*folders_)[static_cast<size_t>(at)].get() != folder)
        return strays_.insert(folder).second;  // a list whose indexes are not its positions
    if (passed_.size() < folders_->size())
        passed_.resize(folders_->size(), 0u);
    if (passed_[static_cast<size_t>(at)] == climb_)
        return false;
    passed_[static_cast<size_t>(at)] = climb_;
    return true;
}

void FolderTree::BuildPath(TMyFile& file) {
    TMyFolder* folder = At(file.FolderIndex);
    if (!folder)
        return;
    TMyFolder* root = (*folders_)[0].get();
    // The names from the file's folder up towards the root, joined once at the end.
    std::vector<const std::string*>& names = pathNames_;
    names.clear();
    NewClimb();
    Pass(folder);
    if (folder != root)
        names.push_back(&folder->FolderName);
    while (!Stopped()) {
        if (folder->ParentIndex < 0 && folder != root)
            ResolveParent(folder);
        TMyFolder* parent = At(folder->ParentIndex);
        if (!parent)
            break;
        if (!Pass(parent)) {
            // Damaged parent references loop back to a folder already on
            // this path: the loop is cut here, and the folder hangs from the
            // root so that the tree stays a tree.
            folder->ParentIndex = 0;
            Hang(folder, root);
            break;
        }
        Hang(folder, parent);
        if (parent == root)
            break;
        names.push_back(&parent->FolderName);
        folder = parent;
    }
    if (names.empty())
        return;
    size_t length = 0;
    for (const std::string* name : names)
        length += name->size() + 1;
    std::string& path = file.FolderPath;
    path.clear();
    path.reserve(length);
    for (auto it = names.rbegin(); it != names.rend(); ++it) {
        path += **it;
        path += '\\';
    }
}

void FolderTree::CountUp(TMyFile& file) {
    TMyFolder* folder = At(file.FolderIndex);
    if (!folder)
        return;
    folder->FileCount += 1;
    // Every folder up to the root counts the file once, even in a damaged tree.
    NewClimb();
    Pass(folder);
    while (!Stopped()) {
        TMyFolder* parent = At(folder->ParentIndex);
        if (!parent || !Pass(parent))
            return;
        parent->FileCount += 1;
        Hang(folder, parent);
        folder = parent;
    }
}

bool FolderTree::AddUpCounts() {
    for (size_t i = folders_->size(); i-- > 0;) {
        if (Stopped())
            return false;
        TMyFolder* folder = (*folders_)[i].get();
        TMyFolder* parent = At(folder->ParentIndex);
        if (parent && parent != folder) {
            parent->FileCount += folder->FileCount;
            Hang(folder, parent);
        }
    }
    return true;
}

} // namespace volume
