#include "fstree/folderlisting.h"

#include <algorithm>
#include <set>

#include "fstree/ctimetext.h"
#include "values/bytesize.h"
#include "values/naturalorder.h"

using ZelboLib::FileSystemNode;

namespace {

/** An entry with its sort key, computed once per sort: keys may cost device requests. */
struct KeyedEntry {
    FolderListing::NodePointer node;
    bool isFolder = false;
    CZelboString text;
    int64_t number = 0;
};

}  // namespace

FolderListing::FolderListing(FileTypeDescriber describeType)
    : describeType_(std::move(describeType)) {}

void FolderListing::showFolder(NodePointer folder) {
    folder_ = std::move(folder);
    reload();
}

void FolderListing::reload() {
    entries_.clear();
    entryIsFolder_.clear();
    entriesBuilt_ = false;
    rowTexts_.clear();
}

const std::vector<FolderListing::NodePointer>& FolderListing::entries() {
    if (!entriesBuilt_)
        buildEntries();
    return entries_;
}

void FolderListing::buildEntries() {
    entriesBuilt_ = true;
    entries_.clear();
    entryIsFolder_.clear();
    rowTexts_.clear();
    if (!folder_)
        return;
    std::vector<NodePointer> files;
    for (const auto& child : folder_->ensureChildren()) {
        if (child->isDirectory())
            entries_.push_back(child);
        else
            files.push_back(child);
    }
    entryIsFolder_.assign(entries_.size(), true);
    entryIsFolder_.resize(entries_.size() + files.size(), false);
    entries_.insert(entries_.end(), files.begin(), files.end());
    sortEntries();
}

void FolderListing::sortEntries() {
    if (!isListColumn(sortColumn_))
        return;
    const auto column = static_cast<ListColumn>(sortColumn_);
    std::vector<KeyedEntry> keyed;
    keyed.reserve(entries_.size());
    for (size_t index = 0; index < entries_.size(); ++index) {
        const NodePointer& node = entries_[index];
        KeyedEntry entry;
        entry.node = node;
        entry.isFolder = entryIsFolder_[index];
        switch (column) {
            case ListColumn::Name:
                entry.text = node->name();
                break;
            case ListColumn::Size:
                entry.number = node->fileSize();
                break;
            case ListColumn::Type:
                entry.text = describeType_(node->fullPath(), entry.isFolder);
                break;
            case ListColumn::ModifiedDate:
                entry.number = node->modificationTime();
                break;
        }
        keyed.push_back(std::move(entry));
    }
    const bool ascending = sortAscending_;
    const auto ordered = [ascending](const auto& a, const auto& b) {
        return ascending ? a < b : b < a;
    };
    const auto orderedNames = [ascending](std::u16string_view a, std::u16string_view b) {
        const int order = naturalCompare(a, b);
        return ascending ? order < 0 : order > 0;
    };
    std::stable_sort(keyed.begin(), keyed.end(), [&](const KeyedEntry& a, const KeyedEntry& b) {
        switch (column) {
            case ListColumn::Name:
                if (a.isFolder != b.isFolder)
                    return a.isFolder;
                return orderedNames(a.text.view(), b.text.view());
            case ListColumn::Type:
                return orderedNames(a.text.view(), b.text.view());
            case ListColumn::Size:
            case ListColumn::ModifiedDate:
                return ordered(a.number, b.number);
        }
        return false;
    });
    for (size_t index = 0; index < keyed.size(); ++index) {
        entries_[index] = std::move(keyed[index].node);
        entryIsFolder_[index] = keyed[index].isFolder;
    }
    // Rows moved: texts cached by row index no longer belong to them.
    rowTexts_.clear();
}

void FolderListing::headerClicked(int column) {
    if (!isListColumn(column))
        return;
    // The same column again reverses the order; another one starts ascending.
    sortAscending_ = column == sortColumn_ ? !sortAscending_ : true;
    sortColumn_ = column;
    sortEntries();
    refresh();
}

void FolderListing::setSortOrder(int column, bool ascending) {
    sortColumn_ = isListColumn(column) ? column : -1;
    sortAscending_ = ascending;
    sortEntries();
    refresh();
}

bool FolderListing::isFolder(int row) const {
    return isRow(row) && entryIsFolder_[static_cast<size_t>(row)];
}

bool FolderListing::isRow(int row) const {
    return row >= 0 && static_cast<size_t>(row) < entries_.size();
}

FolderListing::RowTexts& FolderListing::rowTexts(int row) {
    RowTexts& texts = rowTexts_[row];
    texts.node = entries_[static_cast<size_t>(row)].get();
    return texts;
}

CZelboString FolderListing::cellText(int row, int column) {
    entries();
    if (!isRow(row) || !isListColumn(column))
        return {};
    std::optional<CZelboString>& cell = rowTexts(row).cells[column];
    if (!cell)
        cell = computeCell(row, static_cast<ListColumn>(column));
    return *cell;
}

CZelboString FolderListing::computeCell(int row, ListColumn column) {
    FileSystemNode& node = *entries_[static_cast<size_t>(row)];
    const bool folder = isFolder(row);
    switch (column) {
        case ListColumn::Name:
            return node.name();
        case ListColumn::Size:
            return folder ? CZelboString() : formatByteSize(node.fileSize());
        case ListColumn::Type:
            return describeType_(node.fullPath(), folder);
        case ListColumn::ModifiedDate:
            return localCtimeText(node.modificationTime());
    }
    return {};
}

int FolderListing::iconIndex(int row) const {
    const auto found = rowTexts_.find(row);
    return found != rowTexts_.end() ? found->second.iconIndex : -1;
}

void FolderListing::setIconIndex(int row, int index) {
    entries();
    if (isRow(row))
        rowTexts(row).iconIndex = index;
}

void FolderListing::refresh() {
    rowTexts_.clear();
}

bool FolderListing::isConsistent() const {
    if (sortColumn_ != -1 && !isListColumn(sortColumn_))
        return false;
    if ((!entriesBuilt_ && !entries_.empty()) || entryIsFolder_.size() != entries_.size())
        return false;
    std::set<const FileSystemNode*> seen;
    for (const auto& node : entries_) {
        if (!node || !seen.insert(node.get()).second)
            return false;
    }
    return std::all_of(rowTexts_.begin(), rowTexts_.end(), [this](const auto& cached) {
        return isRow(cached.first) &&
               cached.second.node == entries_[static_cast<size_t>(cached.first)].get();
    });
}
