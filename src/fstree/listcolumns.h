#pragma once

/** The four columns of a folder's detailed list, by index. */
enum class ListColumn : int { Name = 0, Size = 1, Type = 2, ModifiedDate = 3 };

inline constexpr int kListColumnCount = 4;

/** Whether column is one of the four; every other index has an empty header and empty cells. */
bool isListColumn(int column);
/** "Name", "File Size", "File Type", "Modified Date"; "" for any other index. */
const char16_t* listColumnHeader(int column);
/** The column's width in pixels; 0 for any other index. */
int listColumnWidth(int column);
