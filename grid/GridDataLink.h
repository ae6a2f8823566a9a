#pragma once

#include "data/dataset/DataSource.h"

#include <string>

class TDBGrid;

// The grid's connection to its dataset, and its window onto the records:
// BufferCount rows fit on screen, RecordCount of them hold records (fewer
// at the end of a short table), the first shows the record at Top (a
// place in the order, from 1). ActiveRecord is the row whose record the
// fields read now: the current record's row, or another while the grid
// paints or asks for a hint. Only the records on screen are ever read, by
// their place, so a table of any size costs the same.
class TGridDataLink : public TDataLink {
public:
    explicit TGridDataLink(TDBGrid* grid) : fGrid(grid) {}
    ~TGridDataLink() override;

    int BufferCount() const { return fBufferCount; }
    void SetBufferCount(int count);
    int RecordCount() const { return fRecordCount; }
    int Top() const { return fTop; }
    // The row of the current record (0 for an empty table).
    int CurrentRow() const { return fCurrentRow; }
    int ActiveRecord() const { return fActive >= 0 ? fActive : fCurrentRow; }
    // The row set by SetActiveRecord, or -1 when the fields read the
    // current record.
    int ActiveOverride() const { return fActive; }
    // Makes the fields read the record of row `row`; the current row again
    // for its own row or for -1.
    void SetActiveRecord(int row);

    // Records in the order, the new one of an insert counted.
    int Count() const;
    // The place in the order, with an insert counted, of the current record.
    int CurrentPlace() const;
    // The dataset's RecNo of the record in row `row` (0 for the new record
    // of an insert, or outside the rows).
    int RecNoOfRow(int row) const;
    std::string BookmarkOfRow(int row) const;
    bool Eof() const;
    bool Bof() const;

    // Puts the window where it shows the current record: with `keepRow`
    // the current record stays on the row it was on (after the records
    // changed), else the window moves as little as it can (after a move).
    void Sync(bool keepRow);
    // Shows the window from place `top` on (clamped); the current record is
    // not moved.
    void SetTop(int top);
    // Makes the current record appear on row `row` where the records allow.
    void PlaceCurrentOnRow(int row);
    // The highest place the window can start at.
    int MaxTop() const;

    void Detach() { fGrid = nullptr; }

protected:
    void ActiveChanged() override;
    void DataSetChanged() override;
    void DataSetScrolled(int distance) override;
    void RecordChanged(TField* field) override;
    void LayoutChanged() override;
    void EditingChanged() override;
    void UpdateData() override;

private:
    void Clamp();
    void ResetActive();

    TDBGrid* fGrid;
    int fBufferCount = 1;
    int fRecordCount = 0;
    int fTop = 1;
    int fCurrentRow = 0;
    int fActive = -1;
};

// Makes the fields read the record of a row while a cell is drawn or a hint
// is made, and puts back what they read before, also on failure.
class TActiveRecordScope {
public:
    TActiveRecordScope(TGridDataLink& link, int row) : fLink(link), fSaved(link.ActiveOverride()) {
        fLink.SetActiveRecord(row);
    }
    ~TActiveRecordScope() { fLink.SetActiveRecord(fSaved); }
    TActiveRecordScope(const TActiveRecordScope&) = delete;
    TActiveRecordScope& operator=(const TActiveRecordScope&) = delete;

private:
    TGridDataLink& fLink;
    int fSaved;
};
