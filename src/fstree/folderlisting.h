#pragma once

#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "fstree/filesystemnode.h"
#include "fstree/filetypedescriber.h"
#include "fstree/listcolumns.h"

/**
 * The state of the file list for the folder on show: its entries in display order, the sort
 * column and direction, and the texts of each row, computed once (each may cost a request to the
 * device) until the next refresh. Free of windows, so the list view only translates it.
 *
 * Entries are folders first, then files, each group in device order, until a header click sorts
 * them; sorts are stable, so earlier orders break ties. The "Name" sort keeps folders before
 * files and orders each group by name (UTF-16 code units, case-sensitive) in the chosen
 * direction. The entries hold their nodes, so a refresh of the folder elsewhere never frees a
 * row's node while it is shown. Used on one thread (the list's).
 */
class FolderListing {
public:
    using NodePointer = std::shared_ptr<ZelboLib::FileSystemNode>;

    explicit FolderListing(FileTypeDescriber describeType = describeFileTypeByExtension);

    /** Shows folder (null for none): entries and texts start over, the sort order stays. */
    void showFolder(NodePointer folder);
    const NodePointer& folder() const { return folder_; }
    /** Forgets entries and texts, so the next entries() builds them from the folder's children. */
    void reload();

    /** The entries, built (listing the folder when it never was) and sorted on first need. */
    const std::vector<NodePointer>& entries();
    /**
     * Whether the entry at row is a folder, as found when the entries were built (a link's target
     * is asked of the device, so it is asked once); false outside.
     */
    bool isFolder(int row) const;
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

    /** The row's text for column, computed on first need and kept until refresh; "" outside. */
    CZelboString cellText(int row, int column);
    /** The icon the list found for the row; -1 until it stores one. */
    int iconIndex(int row) const;
    void setIconIndex(int row, int index);
    /** Forgets every row's texts and icon, so they are computed again. */
    void refresh();

    /** Sort state in range, entries without nulls or repeats, texts only for rows that exist. */
    bool isConsistent() const;

private:
    /** Cached cell texts; absent until computed (an empty text may be the computed one). */
    struct RowTexts {
        const ZelboLib::FileSystemNode* node = nullptr;  // the entry the texts were made for
        std::optional<CZelboString> cells[kListColumnCount];
        int iconIndex = -1;
    };

    void buildEntries();
    bool isRow(int row) const;
    RowTexts& rowTexts(int row);
    CZelboString computeCell(int row, ListColumn column);

    FileTypeDescriber describeType_;
    NodePointer folder_;
    std::vector<NodePointer> entries_;
    std::vector<bool> entryIsFolder_;  // by row, beside entries_
    bool entriesBuilt_ = false;
    int sortColumn_ = -1;
    bool sortAscending_ = true;
    std::map<int, RowTexts> rowTexts_;
};
