#include "fstree/listcolumns.h"

namespace {

struct ColumnLayout {
    const char16_t* header;
    int width;
};

constexpr ColumnLayout kColumns[kListColumnCount] = {
    {u"Name", 120},
    {u"File Size", 120},
    {u"File Type", 120},
    {u"Modified Date", 200},
};

}  // namespace

bool isListColumn(int column) {
    return column >= 0 && column < kListColumnCount;
}

const char16_t* listColumnHeader(int column) {
    return isListColumn(column) ? kColumns[column].header : u"";
}

int listColumnWidth(int column) {
    return isListColumn(column) ? kColumns[column].width : 0;
}
