#include "export/view/TableView.h"

#include "data/base/TextUtils.h"
#include "data/dataset/DataSet.h"
#include "export/view/WindowlessTableView.h"

#include <typeinfo>

// Field names need not be unique: a column knows its field as the n-th of
// those that answer to its name, as FindField matches names.
static int OrdinalOf(const TField& field) {
    const TDataSet& ds = field.DataSet();
    int n = 0;
    for (int i = 0; i < ds.FieldCount() && &ds.Fields(i) != &field; ++i)
        if (SameText(ds.Fields(i).FieldName(), field.FieldName())) ++n;
    return n;
}

static TField* FieldOfColumn(const TDataSet& ds, const TColumn& column) {
    TField* first = nullptr;
    int n = column.FieldOrdinal();
    for (int i = 0; i < ds.FieldCount(); ++i) {
        TField& f = ds.Fields(i);
        if (!SameText(f.FieldName(), column.FieldName())) continue;
        if (n-- == 0) return &f;
        if (!first) first = &f;
    }
    return first;
}

// Follows the dataset: default columns are laid out anew when it opens, and
// columns let go of their fields when it closes.
class TTableViewLink : public TDataLink {
public:
    explicit TTableViewLink(TTableView& view) : fView(view) {}

protected:
    void ActiveChanged() override { fView.LinkActive(Active()); }
    void LayoutChanged() override { fView.LinkActive(Active()); }

private:
    TTableView& fView;
};

TTableView::TTableView()
    : fLink(std::make_unique<TTableViewLink>(*this)), fMetrics(&TFixedFontMetrics::Instance()) {
    fTitleFont = fFont;
}

TTableView::~TTableView() = default;

void TTableView::SetDataSource(TDataSource* source) {
    if (source == fDataSource) return;
    fDataSource = source;
    fLink->SetDataSource(source);
    LinkActive(fLink->Active());
}

void TTableView::LinkActive(bool active) {
    fSelectedRows.SetDataSet(active ? DataSet() : nullptr);
    fSelectedRows.Clear();
    if (active && fDefaultColumns) {
        BuildDefaultColumns();
        return;
    }
    TDataSet* ds = active ? DataSet() : nullptr;
    for (auto& c : fColumns)
        c->SetField(ds ? FieldOfColumn(*ds, *c) : nullptr);
    if (!active && fDefaultColumns) fColumns.clear();
}

TColumn& TTableView::AddColumn(const std::string& fieldName) {
    // The first column of one's own replaces the laid-out defaults.
    if (fDefaultColumns) fColumns.clear();
    fDefaultColumns = false;
    fColumns.push_back(std::make_unique<TColumn>(*this, fieldName));
    TDataSet* ds = DataSet();
    if (ds && ds->Active()) fColumns.back()->SetField(FieldOfColumn(*ds, *fColumns.back()));
    return *fColumns.back();
}

TColumn& TTableView::AddColumn(TField& field) {
    TColumn& column = AddColumn(field.FieldName());
    column.SetFieldOrdinal(OrdinalOf(field));
    TDataSet* ds = DataSet();
    column.SetField(ds && ds->Active() && &field.DataSet() == ds ? &field : nullptr);
    return column;
}

void TTableView::MoveColumn(int from, int to) {
    const int n = ColumnCount();
    if (from < 0 || from >= n || to < 0 || to >= n || from == to) return;
    auto column = std::move(fColumns[static_cast<size_t>(from)]);
    fColumns.erase(fColumns.begin() + from);
    fColumns.insert(fColumns.begin() + to, std::move(column));
}

void TTableView::ClearColumns() {
    fColumns.clear();
    fDefaultColumns = true;
}

void TTableView::BuildDefaultColumns() {
    fColumns.clear();
    fDefaultColumns = true;
    TDataSet* ds = DataSet();
    if (!ds || !ds->Active()) return;
    for (int i = 0; i < ds->FieldCount(); ++i) {
        TField& f = ds->Fields(i);
        if (!f.Visible()) continue;
        fColumns.push_back(std::make_unique<TColumn>(*this, f.FieldName()));
        fColumns.back()->SetField(&f); // laid out anew, never found again by name
    }
}

int TTableView::FindColumn(const std::string& fieldName) const {
    for (size_t i = 0; i < fColumns.size(); ++i)
        if (fColumns[i]->FieldName() == fieldName) return static_cast<int>(i);
    return -1;
}

void TTableView::SetMetrics(const TFontMetrics* metrics) {
    fMetrics = metrics ? metrics : &TFixedFontMetrics::Instance();
}

void TTableView::GetCellParams(TColumn& column, TDBGridCellParams& params, const TValue* value) {
    TField* f = column.Field();
    int kind = ikNone;
    // The class tests come first: they are cheap, reading the value is not.
    if (f && fDrawBool && f->IsBoolean()) {
        // One read of the value serves the null test and the glyph.
        if (!value) {
            f->GetData(fCellValue);
            value = &fCellValue;
        }
        if (value->Kind == TValueKind::Boolean)
            kind = value->Bool ? ikTrue : ikFalse;
        else if (!value->IsNull())
            kind = f->AsBoolean() ? ikTrue : ikFalse;
    } else if (f && f->IsBlob() && !f->IsNull()) {
        if (f->IsBoolean())
            kind = f->AsBoolean() ? ikTrue : ikFalse;
        else if (f->IsMemo())
            kind = fRowHeightLines > 0 ? ikNone : ikMemo;
        else if (f->IsGraphic())
            kind = (fDrawGraphic || fRowHeightLines > 0) ? ikFieldPicture : ikGraphic;
        else if (f->DataType() == ftParadoxOle || f->DataType() == ftDBaseOle)
            kind = ikOle;
        else
            kind = ikBlob;
    }
    params.ImageKind = kind;
    if (OnGetCellParams) OnGetCellParams(*this, column, params);
}

bool TTableView::CellsFromColumns() const {
    return typeid(*this) == typeid(TTableView) || typeid(*this) == typeid(TWindowlessTableView);
}

void TTableView::ReferenceRow(std::string& bookmark, int& distance) const {
    TDataSet* ds = DataSet();
    bookmark = ds && ds->Active() ? ds->Bookmark() : std::string();
    distance = 0;
}

void TTableView::SavePosition() {
    ReferenceRow(fSavedBookmark, fSavedDistance);
    fHasSaved = true;
}

void TTableView::RestorePosition() {
    TDataSet* ds = DataSet();
    if (fHasSaved && ds && ds->Active() && !ds->IsEmpty() && ds->BookmarkValid(fSavedBookmark)) {
        ds->SetBookmark(fSavedBookmark);
        if (fSavedDistance != 0) ds->MoveBy(fSavedDistance);
    }
    fHasSaved = false;
    fSavedBookmark.clear();
    fSavedDistance = 0;
}
