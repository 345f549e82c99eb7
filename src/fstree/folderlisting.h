#pragma once

#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "fstree/entryfacts.h"
#include "fstree/filesystemnode.h"
#include "fstree/filetypedescriber.h"
#include "fstree/listcolumns.h"

/**
 * The state of the file list for the folder on show: its entries in display order, the sort
 * column and direction, each entry's facts (type, size, dates) and the texts of each row,
 * computed once until the next refresh. Free of windows, so the list view only translates it.
 *
 * Names first: building the entries lists the folder's names and fetches the information of
 * only its first kEntriesWithNames entries, so a large folder's rows can be shown at once. The
 * others have no facts until learnFacts brings them (fetched elsewhere, off the list's thread);
 * meanwhile they count as files and show their name alone, and sorts put them after the entries
 * whose keys are known. settleOrder then arranges everything as a build with all facts would.
 *
 * Entries are folders first, then files, each group in device order, until a header click sorts
 * them; sorts are stable, so earlier orders break ties. The "Name" sort keeps folders before
 * files and orders each group by name in the chosen direction. Sort keys are kept per entry, so
 * sorting asks the device nothing. The entries hold their nodes, so a refresh of the folder
 * elsewhere never frees a row's node while it is shown. Used on one thread (the list's), except
 * that entries() may build them on a worker while the list's thread leaves the listing alone.
 */
class FolderListing {
public:
    using NodePointer = std::shared_ptr<ZelboLib::FileSystemNode>;

    /** Entries whose information comes with their names: a folder this size shows whole. */
    static constexpr size_t kEntriesWithNames = 256;

    explicit FolderListing(FileTypeDescriber describeType = describeFileTypeByExtension);

    /** Shows folder (null for none): entries and texts start over, the sort order stays. */
    void showFolder(NodePointer folder);
    const NodePointer& folder() const { return folder_; }
    /** Forgets entries and texts, so the next entries() builds them from the folder's children. */
    void reload();

    /** The entries, built (listing the folder's names when it never was) on first need. */
    const std::vector<NodePointer>& entries();
    /** Whether the entry at row is known to be a folder (a link to one counts); false outside. */
    bool isFolder(int row) const;
    /** The facts of the entry at row; null outside and while its information is not known. */
    const ZelboLib::EntryFacts* facts(int row) const;
    /** The entries without facts, in display order. */
    std::vector<NodePointer> entriesWantingFacts() const;
    /**
     * Takes the facts of entries (others are ignored) and makes their type texts; returns the
     * rows whose texts changed, in no order. Rows keep their places until settleOrder.
     */
    std::vector<int> learnFacts(const std::vector<ZelboLib::NodeFacts>& learnt);
    /**
     * Arranges the entries as a build with every fact known would: folders first in device
     * order, then the sort. Returns the new row of each old row; empty when none moved.
     */
    std::vector<int> settleOrder();

    /** -1 before the first header click, then the clicked column. */
    int sortColumn() const { return sortColumn_; }
    bool sortAscending() const { return sortAscending_; }
    /** Sorts the entries by the sort column and direction; no sort column leaves them as they are.
     */
    void sortEntries();
    /**
     * Sorts by column; the same column again reverses the direction, another one starts
     * ascending.
     */
    void headerClicked(int column);
    /** Sorts by column (no list column: unsorted) in the given direction. */
    void setSortOrder(int column, bool ascending);

    /**
     * The row's text for column, computed on first need and kept until refresh; "" outside, and
     * but for the name while the row's facts are not known.
     */
    CZelboString cellText(int row, int column);
    /** The icon the list found for the row; -1 until it stores one. */
    int iconIndex(int row) const;
    void setIconIndex(int row, int index);
    /** Forgets every row's texts and icon, so they are computed again. */
    void refresh();

    /** Sort state in range, entries without nulls or repeats, texts only for rows that exist. */
    bool isConsistent() const;

private:
    /** What is kept of an entry beside its node, moving with it through sorts. */
    struct EntryState {
        size_t listedIndex = 0;  // its place in the device's listing
        std::optional<ZelboLib::EntryFacts> facts;
        std::optional<CZelboString> typeText;  // the type sort's key, made on first need
    };

    /** Cached cell texts; absent until computed (an empty text may be the computed one). */
    struct RowTexts {
        const ZelboLib::FileSystemNode* node = nullptr;  // the entry the texts were made for
        std::optional<CZelboString> cells[kListColumnCount];
        int iconIndex = -1;
    };

    void buildEntries();
    /** Puts the entries in order (old rows, in their new order); the new row of each old row. */
    std::vector<int> reorder(const std::vector<size_t>& order);
    /** The rows in order: the given one, stably sorted by the sort column. */
    void sortRows(std::vector<size_t>& order);
    const CZelboString& typeText(size_t row);
    bool isRow(int row) const;
    RowTexts& rowTexts(int row);
    CZelboString computeCell(int row, ListColumn column);

    FileTypeDescriber describeType_;
    NodePointer folder_;
    std::vector<NodePointer> entries_;
    std::vector<EntryState> states_;  // by row, beside entries_
    bool entriesBuilt_ = false;
    int sortColumn_ = -1;
    bool sortAscending_ = true;
    std::map<int, RowTexts> rowTexts_;
};
