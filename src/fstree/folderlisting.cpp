#include "fstree/folderlisting.h"

#include <algorithm>
#include <numeric>
#include <set>
#include <unordered_map>

#include "fstree/ctimetext.h"
#include "values/bytesize.h"
#include "values/naturalorder.h"

using ZelboLib::EntryFacts;
using ZelboLib::FileSystemNode;
using ZelboLib::NodeFacts;

namespace {

int compareNumbers(int64_t a, int64_t b) {
    return (a > b) - (a < b);
}

}  // namespace

FolderListing::FolderListing(FileTypeDescriber describeType)
    : describeType_(std::move(describeType)) {}

void FolderListing::showFolder(NodePointer folder) {
    folder_ = std::move(folder);
    reload();
}

void FolderListing::reload() {
    entries_.clear();
    states_.clear();
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
    states_.clear();
    rowTexts_.clear();
    if (!folder_)
        return;
    if (!folder_->childrenLoaded())
        folder_->loadChildren(ZelboLib::EntryInfo::WhenAsked);
    entries_ = folder_->children();
    const std::vector<NodePointer> first(
        entries_.begin(), entries_.begin() + static_cast<std::ptrdiff_t>(
                                                 std::min(entries_.size(), kEntriesWithNames)));
    const std::vector<NodeFacts> fetched =
        fetchEntryFacts(first, folder_->directory().get(), [] { return true; });
    states_.resize(entries_.size());
    for (size_t index = 0; index < entries_.size(); ++index) {
        states_[index].listedIndex = index;
        states_[index].facts =
            index < fetched.size() ? fetched[index].facts : knownFactsOf(*entries_[index]);
    }
    settleOrder();
}

std::vector<FolderListing::NodePointer> FolderListing::entriesWantingFacts() const {
    std::vector<NodePointer> wanting;
    for (size_t row = 0; row < entries_.size(); ++row) {
        if (!states_[row].facts)
            wanting.push_back(entries_[row]);
    }
    return wanting;
}

std::vector<int> FolderListing::learnFacts(const std::vector<NodeFacts>& learnt) {
    std::unordered_map<const FileSystemNode*, const EntryFacts*> byNode;
    for (const NodeFacts& entry : learnt)
        byNode.emplace(entry.node.get(), &entry.facts);
    std::vector<int> changed;
    for (size_t row = 0; row < entries_.size() && changed.size() < byNode.size(); ++row) {
        EntryState& state = states_[row];
        const auto found = byNode.find(entries_[row].get());
        if (state.facts || found == byNode.end())
            continue;
        state.facts = *found->second;
        state.typeText.reset();
        // Made now, a chunk at a time, so that a sort by type looks hardly anything up.
        typeText(row);
        rowTexts_.erase(static_cast<int>(row));
        changed.push_back(static_cast<int>(row));
    }
    return changed;
}

std::vector<int> FolderListing::settleOrder() {
    std::vector<size_t> order(entries_.size());
    std::iota(order.begin(), order.end(), size_t{0});
    std::sort(order.begin(), order.end(), [this](size_t a, size_t b) {
        if (isFolder(static_cast<int>(a)) != isFolder(static_cast<int>(b)))
            return isFolder(static_cast<int>(a));
        return states_[a].listedIndex < states_[b].listedIndex;
    });
    sortRows(order);
    if (std::is_sorted(order.begin(), order.end()))
        return {};
    return reorder(order);
}

void FolderListing::sortEntries() {
    std::vector<size_t> order(entries_.size());
    std::iota(order.begin(), order.end(), size_t{0});
    sortRows(order);
    reorder(order);
}

void FolderListing::sortRows(std::vector<size_t>& order) {
    if (!isListColumn(sortColumn_))
        return;
    const auto column = static_cast<ListColumn>(sortColumn_);
    if (column == ListColumn::Type) {
        for (const size_t row : order) {
            if (states_[row].facts)
                typeText(row);
        }
    }
    const bool ascending = sortAscending_;
    const auto before = [ascending](int comparison) {
        return ascending ? comparison < 0 : comparison > 0;
    };
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        const EntryState& first = states_[a];
        const EntryState& second = states_[b];
        if (column == ListColumn::Name) {
            const bool firstIsFolder = first.facts && first.facts->isFolder;
            if (firstIsFolder != (second.facts && second.facts->isFolder))
                return firstIsFolder;
            return before(naturalCompare(entries_[a]->name().view(), entries_[b]->name().view()));
        }
        // Keys not known yet go after the known ones in either direction.
        if (first.facts.has_value() != second.facts.has_value())
            return first.facts.has_value();
        if (!first.facts)
            return false;
        switch (column) {
            case ListColumn::Type:
                return before(naturalCompare(first.typeText->view(), second.typeText->view()));
            case ListColumn::Size:
                return before(compareNumbers(first.facts->size, second.facts->size));
            case ListColumn::ModifiedDate:
                return before(
                    compareNumbers(first.facts->modificationTime, second.facts->modificationTime));
            case ListColumn::Name:
                break;
        }
        return false;
    });
}

std::vector<int> FolderListing::reorder(const std::vector<size_t>& order) {
    std::vector<NodePointer> entries(order.size());
    std::vector<EntryState> states(order.size());
    std::vector<int> newRowOf(order.size());
    for (size_t row = 0; row < order.size(); ++row) {
        entries[row] = std::move(entries_[order[row]]);
        states[row] = std::move(states_[order[row]]);
        newRowOf[order[row]] = static_cast<int>(row);
    }
    entries_ = std::move(entries);
    states_ = std::move(states);
    // Rows moved: texts cached by row index no longer belong to them.
    rowTexts_.clear();
    return newRowOf;
}

const CZelboString& FolderListing::typeText(size_t row) {
    std::optional<CZelboString>& text = states_[row].typeText;
    if (!text)
        text = describeType_(entries_[row]->fullPath(), isFolder(static_cast<int>(row)));
    return *text;
}

void FolderListing::headerClicked(int column) {
    if (!isListColumn(column))
        return;
    // The same column again reverses the order; another one starts ascending.
    sortAscending_ = column == sortColumn_ ? !sortAscending_ : true;
    sortColumn_ = column;
    sortEntries();
}

void FolderListing::setSortOrder(int column, bool ascending) {
    sortColumn_ = isListColumn(column) ? column : -1;
    sortAscending_ = ascending;
    sortEntries();
}

bool FolderListing::isFolder(int row) const {
    const EntryFacts* known = facts(row);
    return known != nullptr && known->isFolder;
}

const EntryFacts* FolderListing::facts(int row) const {
    if (!isRow(row))
        return nullptr;
    const std::optional<EntryFacts>& known = states_[static_cast<size_t>(row)].facts;
    return known ? &*known : nullptr;
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
    const EntryFacts* known = facts(row);
    if (column == ListColumn::Name)
        return entries_[static_cast<size_t>(row)]->name();
    if (!known)
        return {};
    switch (column) {
        case ListColumn::Size:
            return known->isFolder ? CZelboString() : formatByteSize(known->size);
        case ListColumn::Type:
            return typeText(static_cast<size_t>(row));
        case ListColumn::ModifiedDate:
            return localCtimeText(known->modificationTime);
        case ListColumn::Name:
            break;
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
    for (EntryState& state : states_)
        state.typeText.reset();
}

bool FolderListing::isConsistent() const {
    if (sortColumn_ != -1 && !isListColumn(sortColumn_))
        return false;
    if ((!entriesBuilt_ && !entries_.empty()) || states_.size() != entries_.size())
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
