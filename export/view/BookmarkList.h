#pragma once

#include <string>
#include <vector>

class TDataSet;

// The rows a user has marked in a view, kept in the dataset's record order.
class TBookmarkList {
public:
    explicit TBookmarkList(TDataSet* dataSet = nullptr) : fDataSet(dataSet) {}
    void SetDataSet(TDataSet* dataSet);

    int Count() const { return static_cast<int>(fItems.size()); }
    const std::string& operator[](int i) const { return fItems.at(static_cast<size_t>(i)); }
    // Marks the current record (or unmarks it with selected false).
    void SetCurrentRowSelected(bool selected);
    bool CurrentRowSelected() const;
    bool Contains(const std::string& bookmark) const;
    // Adds a bookmark in record order; an invalid or repeated one is ignored.
    void Add(const std::string& bookmark);
    // Adds many at once (a range a user marked), in record order; invalid
    // and repeated ones are left out. Costs a sort, not a search per item.
    void AddAll(std::vector<std::string> bookmarks);
    void Clear() { fItems.clear(); }

private:
    int Find(const std::string& bookmark, bool& found) const;

    TDataSet* fDataSet;
    std::vector<std::string> fItems;
};
