#include "export/view/BookmarkList.h"

#include "data/dataset/DataSet.h"

#include <algorithm>
#include <iterator>

void TBookmarkList::SetDataSet(TDataSet* dataSet) {
    if (dataSet == fDataSet) return;
    fDataSet = dataSet;
    fItems.clear();
}

int TBookmarkList::Find(const std::string& bookmark, bool& found) const {
    // Binary search by the dataset's record order.
    int lo = 0, hi = static_cast<int>(fItems.size()) - 1;
    found = false;
    while (lo <= hi) {
        int mid = (lo + hi) / 2;
        int c = fDataSet->CompareBookmarks(fItems[static_cast<size_t>(mid)], bookmark);
        if (c == 0) {
            found = true;
            return mid;
        }
        if (c < 0)
            lo = mid + 1;
        else
            hi = mid - 1;
    }
    return lo;
}

void TBookmarkList::Add(const std::string& bookmark) {
    if (!fDataSet || !fDataSet->BookmarkValid(bookmark)) return;
    bool found;
    int at = Find(bookmark, found);
    if (!found) fItems.insert(fItems.begin() + at, bookmark);
}

void TBookmarkList::SetCurrentRowSelected(bool selected) {
    if (!fDataSet || !fDataSet->Active() || fDataSet->IsEmpty()) return;
    std::string bm = fDataSet->Bookmark();
    bool found;
    int at = Find(bm, found);
    if (selected && !found)
        fItems.insert(fItems.begin() + at, bm);
    else if (!selected && found)
        fItems.erase(fItems.begin() + at);
}

bool TBookmarkList::CurrentRowSelected() const {
    if (!fDataSet || !fDataSet->Active() || fDataSet->IsEmpty()) return false;
    bool found;
    Find(fDataSet->Bookmark(), found);
    return found;
}

bool TBookmarkList::Contains(const std::string& bookmark) const {
    if (!fDataSet || fItems.empty()) return false;
    bool found;
    Find(bookmark, found);
    return found;
}

void TBookmarkList::AddAll(std::vector<std::string> bookmarks) {
    if (!fDataSet) return;
    bookmarks.erase(
        std::remove_if(bookmarks.begin(), bookmarks.end(),
                       [this](const std::string& b) { return !fDataSet->BookmarkValid(b); }),
        bookmarks.end());
    auto before = [this](const std::string& a, const std::string& b) {
        return fDataSet->CompareBookmarks(a, b) < 0;
    };
    std::sort(bookmarks.begin(), bookmarks.end(), before);
    std::vector<std::string> merged;
    merged.reserve(fItems.size() + bookmarks.size());
    std::merge(std::make_move_iterator(fItems.begin()), std::make_move_iterator(fItems.end()),
               std::make_move_iterator(bookmarks.begin()), std::make_move_iterator(bookmarks.end()),
               std::back_inserter(merged), before);
    merged.erase(std::unique(merged.begin(), merged.end(),
                             [this](const std::string& a, const std::string& b) {
                                 return fDataSet->CompareBookmarks(a, b) == 0;
                             }),
                 merged.end());
    fItems = std::move(merged);
}
