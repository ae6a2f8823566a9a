#pragma once

#include "data/dataset/DataSource.h"
#include "export/view/BookmarkList.h"
#include "export/view/Column.h"
#include "export/view/DBGridCellParams.h"
#include "export/view/FontMetrics.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

enum TGridOption : unsigned {
    dgEditing = 1u << 0,
    dgAlwaysShowEditor = 1u << 1,
    dgTitles = 1u << 2,
    dgIndicator = 1u << 3,
    dgColumnResize = 1u << 4,
    dgColLines = 1u << 5,
    dgRowLines = 1u << 6,
    dgTabs = 1u << 7,
    dgRowSelect = 1u << 8,
    dgAlwaysShowSelection = 1u << 9,
    dgConfirmDelete = 1u << 10,
    dgCancelOnExit = 1u << 11,
    dgMultiSelect = 1u << 12,
};

constexpr unsigned DefaultGridOptions = dgEditing | dgTitles | dgIndicator | dgColumnResize |
                                        dgColLines | dgRowLines | dgTabs | dgConfirmDelete |
                                        dgCancelOnExit;

class TTableView;
class TTableViewLink;
using TGetCellParamsEvent =
    std::function<void(TTableView& sender, TColumn& column, TDBGridCellParams& params)>;

// A grid's columns and presentation over a dataset: what the writers read.
// The Qt grid is one such view; TWindowlessTableView is the one the command
// line uses without a display. Both lay out a freshly opened table alike.
class TTableView {
public:
    TTableView();
    virtual ~TTableView();
    TTableView(const TTableView&) = delete;
    TTableView& operator=(const TTableView&) = delete;

    // The data source whose dataset the view shows; not owned.
    TDataSource* DataSource() const { return fDataSource; }
    // A view with links of its own (the grid) binds them too.
    virtual void SetDataSource(TDataSource* source);
    TDataSet* DataSet() const { return fDataSource ? fDataSource->DataSet() : nullptr; }

    // Columns in display order.
    int ColumnCount() const { return static_cast<int>(fColumns.size()); }
    TColumn& Column(int i) const { return *fColumns.at(static_cast<size_t>(i)); }
    // A column of the first field of this name (when the dataset has one).
    TColumn& AddColumn(const std::string& fieldName);
    // A column of this field of the view's dataset, also when another field
    // has the same name.
    TColumn& AddColumn(TField& field);
    // Moves a column to another place. Default columns keep following the
    // dataset: they are laid out anew when it opens again.
    void MoveColumn(int from, int to);
    void ClearColumns();
    // One column per visible field of the dataset, every member unset.
    void BuildDefaultColumns();
    // Index of the first column with this field name (case-sensitive), or -1.
    int FindColumn(const std::string& fieldName) const;

    unsigned Options() const { return fOptions; }
    void SetOptions(unsigned v) { fOptions = v; }
    bool Ctl3D() const { return fCtl3D; }
    void SetCtl3D(bool v) { fCtl3D = v; }
    bool Flat() const { return fFlat; }
    void SetFlat(bool v) { fFlat = v; }
    TColor Color() const { return fColor; }
    const TColor& ColorRef() const { return fColor; }
    void SetColor(TColor v) { fColor = v; }
    TColor FixedColor() const { return fFixedColor; }
    void SetFixedColor(TColor v) { fFixedColor = v; }
    const TFont& Font() const { return fFont; }
    void SetFont(const TFont& v) { fFont = v; }
    const TFont& TitleFont() const { return fTitleFont; }
    void SetTitleFont(const TFont& v) { fTitleFont = v; }
    bool DrawBool() const { return fDrawBool; }
    void SetDrawBool(bool v) { fDrawBool = v; }
    bool DrawGraphic() const { return fDrawGraphic; }
    void SetDrawGraphic(bool v) { fDrawGraphic = v; }
    // Extra text lines per row; 0 for single-line rows.
    int RowHeightLines() const { return fRowHeightLines; }
    void SetRowHeightLines(int v) { fRowHeightLines = v < 0 ? 0 : v; }
    int SelectedIndex() const { return fSelectedIndex; }
    void SetSelectedIndex(int v) { fSelectedIndex = v; }
    TBookmarkList& SelectedRows() { return fSelectedRows; }
    const TBookmarkList& SelectedRows() const { return fSelectedRows; }

    const TFontMetrics& Metrics() const { return *fMetrics; }
    void SetMetrics(const TFontMetrics* metrics); // not owned; nullptr: fixed metrics

    TGetCellParamsEvent OnGetCellParams;

    // Sets the picture kind of the current record's cell in `column`, then
    // lets OnGetCellParams change anything.
    // `value`, when given, is the cell's value as the caller has already
    // read it (only a boolean's or a null is asked for).
    virtual void GetCellParams(TColumn& column, TDBGridCellParams& params,
                               const TValue* value = nullptr);
    // Whether GetCellParams is this class's own, which gives every cell its
    // column's font and colour; a view of another class may prepare cells in
    // its own way and says so by leaving this false.
    virtual bool CellsFromColumns() const;
    // Remembers the current record and what the view shows, and goes back.
    virtual void SavePosition();
    virtual void RestorePosition();

    // Called when the dataset opens or closes.
    void LinkActive(bool active);

protected:
    // The first row that the view shows and the current record's distance
    // from it; a view without a window shows the current record alone.
    virtual void ReferenceRow(std::string& bookmark, int& distance) const;

private:
    std::unique_ptr<TTableViewLink> fLink;
    TDataSource* fDataSource = nullptr;
    bool fDefaultColumns = true; // columns follow the dataset's fields
    std::vector<std::unique_ptr<TColumn>> fColumns;
    unsigned fOptions = DefaultGridOptions;
    bool fCtl3D = true;
    bool fFlat = false;
    TColor fColor = clWindow;
    TColor fFixedColor = clBtnFace;
    TFont fFont;
    TFont fTitleFont;
    bool fDrawBool = false;
    TValue fCellValue; // scratch of GetCellParams
    bool fDrawGraphic = false;
    int fRowHeightLines = 0;
    int fSelectedIndex = 0;
    TBookmarkList fSelectedRows;
    const TFontMetrics* fMetrics;
    std::string fSavedBookmark;
    int fSavedDistance = 0;
    bool fHasSaved = false;
};
